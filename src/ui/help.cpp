#include "ui/help.h"

#include "service/about.h"
#include "ui/ui_texts.h"
#include "ui/widget_messages.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

namespace k64::ui {

QUrl GuideUrl(const char* chapter)
{
    const QDir program(QCoreApplication::applicationDirPath());
    for (const char* place :
         {"guide", "../share/doc/k64-tool/guide", "../../docs/guide/html", "../docs/guide/html"}) {
        const QFileInfo page(program.filePath(QString::fromUtf8(place) + "/index.html"));
        if (page.isFile()) {
            QUrl url = QUrl::fromLocalFile(page.canonicalFilePath());
            url.setFragment(QString::fromUtf8(chapter));
            return url;
        }
    }
    return {};
}

void OpenGuide(QWidget* owner, const char* chapter)
{
    const QUrl url = GuideUrl(chapter);
    if (url.isEmpty()) {
        WidgetMessages(owner).ShowMessage(text::kGuideMissing, texts::kError, MessageButtons::Ok);
        return;
    }
    if (!QDesktopServices::openUrl(url)) {
        WidgetMessages(owner).ShowMessage(
            text::kGuideNotOpened + QDir::toNativeSeparators(url.toLocalFile()).toStdString(),
            texts::kError, MessageButtons::Ok);
    }
}

void InstallGuideKey(QWidget* window, const char* chapter)
{
    auto* key = new QShortcut(QKeySequence::HelpContents, window);
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, window,
                     [window, chapter] { OpenGuide(window, chapter); });
}

void ShowAbout(QWidget* owner)
{
    std::string about = service::AboutText("k64tool");
    about.pop_back();  // the box needs no last line feed
    WidgetMessages(owner).ShowMessage(about, text::kAbout, MessageButtons::Ok);
}

}  // namespace k64::ui
