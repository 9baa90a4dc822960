# What only the owner can decide: the package's maintainer, the licence, the homepage (where the
# sources and the screenshots are) and the AppStream id. While these hold their placeholders
# everything builds, and every configure says so (scripts/package shows it). The programs tell the
# licence and the homepage in their "about" text, the packages carry them too.
set(K64_PACKAGE_MAINTAINER_PLACEHOLDER "K64 service tool developers <k64-tool@example.org>")
set(K64_PACKAGE_LICENSE_PLACEHOLDER "LicenseRef-proprietary")
set(K64_PACKAGE_HOMEPAGE_PLACEHOLDER "https://k64-tool.example.org")
set(K64_APPSTREAM_ID_PLACEHOLDER "org.example.k64tool")
set(K64_PACKAGE_MAINTAINER "${K64_PACKAGE_MAINTAINER_PLACEHOLDER}"
    CACHE STRING "Maintainer of the Debian package, as Name <address>")
set(K64_PACKAGE_LICENSE "${K64_PACKAGE_LICENSE_PLACEHOLDER}"
    CACHE STRING "Licence of the tool as an SPDX expression (update packaging/copyright with it)")
set(K64_PACKAGE_HOMEPAGE "${K64_PACKAGE_HOMEPAGE_PLACEHOLDER}"
    CACHE STRING "Project homepage; software centres fetch the screenshots from its docs/")
set(K64_APPSTREAM_ID "${K64_APPSTREAM_ID_PLACEHOLDER}"
    CACHE STRING "AppStream component id: the homepage's domain reversed, then k64tool")
set(placeholders "")
foreach(name IN ITEMS K64_PACKAGE_MAINTAINER K64_PACKAGE_LICENSE K64_PACKAGE_HOMEPAGE
                      K64_APPSTREAM_ID)
    if("${${name}}" STREQUAL "${${name}_PLACEHOLDER}")
        string(APPEND placeholders "\n  -D${name}=\"${${name}}\"")
    endif()
endforeach()
if(placeholders)
    message(WARNING "The package still carries placeholders; give the real values before it is "
                    "published:${placeholders}")
endif()

# Until a licence is chosen the texts say plainly what the placeholder means.
if(K64_PACKAGE_LICENSE STREQUAL K64_PACKAGE_LICENSE_PLACEHOLDER)
    string(CONCAT K64_LICENSE_NOTE_EN "The licence of the tool is not chosen yet; until it "
        "is, no rights beyond running the programs are granted.")
    string(CONCAT K64_LICENSE_NOTE_RU "Лицензия программы еще не выбрана; пока ее нет, "
        "не предоставляется никаких прав, кроме права запускать программы.")
else()
    set(K64_LICENSE_NOTE_EN "Licence: ${K64_PACKAGE_LICENSE}.")
    set(K64_LICENSE_NOTE_RU "Лицензия: ${K64_PACKAGE_LICENSE}.")
endif()
