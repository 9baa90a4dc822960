#include "main.h"

#include <QCoreApplication>
#include <QStringList>

#include <csignal>

int main(int argc, char* argv[])
{
    // A reader that goes away (k64ctl diag | head -1) must not kill the program between two
    // steps with the unit: the port's exclusive flag would stay set and the lock behind. The
    // write then fails with EPIPE, which the commands that print as they go take as their end.
    std::signal(SIGPIPE, SIG_IGN);
    // QSettings (the stored port name) wants an application object.
    QCoreApplication app(argc, argv);
    std::vector<std::string> arguments;
    const QStringList all = QCoreApplication::arguments();
    for (qsizetype i = 1; i < all.size(); ++i)
        arguments.push_back(all[i].toStdString());
    return k64::cli::Main(arguments);
}
