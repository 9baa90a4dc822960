# cmake -DCMARK=... -DSOURCE=index.md -DTEMPLATE=page.html.in -DOUTPUT=index.html -DVERSION=... -P
# The Markdown as HTML (GitHub's tables, raw HTML for the pictures' sizes) inside the page.
execute_process(COMMAND ${CMARK} --unsafe --extension table --extension autolink ${SOURCE}
    OUTPUT_VARIABLE BODY RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${CMARK} could not convert ${SOURCE}")
endif()
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
