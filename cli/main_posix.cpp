#include "main.h"

#include <QCoreApplication>
#include <QStringList>

int main(int argc, char* argv[])
{
    // QSettings (the stored port name) wants an application object.
    QCoreApplication app(argc, argv);
    std::vector<std::string> arguments;
    const QStringList all = QCoreApplication::arguments();
    for (qsizetype i = 1; i < all.size(); ++i)
        arguments.push_back(all[i].toStdString());
    return k64::cli::Main(arguments);
}
