// Why k64ctl could not have the port: the line after its message, for real file-system objects
// in a private folder, run as root and as an unprivileged user.

#include "device/vcom_port.h"
#include "support/child_process.h"
#include "support/forked_helper.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using k64::test::ForkedHelper;
using k64::test::TempDir;

constexpr uid_t kNobody = 65534;
constexpr uid_t kStranger = 4321;  // an owner no account is named after

// A character device in the folder that leads to the simulator's terminal.
bool MakeNode(const std::string& path, const std::string& pty, unsigned mode, uid_t owner,
              gid_t group)
{
    struct stat info {};
    return ::stat(pty.c_str(), &info) == 0 && ::mknod(path.c_str(), S_IFCHR, info.st_rdev) == 0 &&
           ::chown(path.c_str(), owner, group) == 0 && ::chmod(path.c_str(), mode) == 0;
}

// A second process holding the port as an operation of several exchanges does.
std::unique_ptr<ForkedHelper> Holder(const std::string& port)
{
    return std::make_unique<ForkedHelper>([port] {
        static quon::io::VCOM_Port held(port);
        return held.Hold();
    });
}

std::string ProcessName(pid_t pid)
{
    std::string name;
    std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/comm"), name);
    return name;
}

TEST(K64ctlPortReason, LineAfterTheMessageSaysWhyAndWhatToDo)
{
    TempDir folder("k64ctl-port");
    ASSERT_TRUE(folder.Valid());
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);  // the other user must get to the nodes
    k64::test::SimProcess sim(k64::test::SimProgram(), {});
    ASSERT_TRUE(sim.Started());
    const std::string pty = sim.PtyPath();
    const group* dialout = ::getgrnam("dialout");
    const bool canSwitchUser = ::geteuid() == 0 && ::access("/usr/bin/setpriv", X_OK) == 0;

    struct Case {
        const char* name;
        bool asUser;
        // Makes the port at the path (or names another); returns the line expected after the
        // message, empty when this machine cannot have the situation.
        std::function<std::string(std::string& port)> make;
    };
    std::unique_ptr<ForkedHelper> holder;
    const std::vector<Case> cases{
        {"Missing", false,
         [](std::string& port) {
             return "Порт " + port + " не найден: блок не подключен; выполните k64ctl doctor";
         }},
        {"RegularFile", false,
         [](std::string& port) {
             std::ofstream(port) << "not a port\n";
             return port + " — не последовательный порт; выполните k64ctl doctor";
         }},
        {"Mode000OfAnotherOwner", true,
         [&](std::string& port) {
             return MakeNode(port, pty, 0, kStranger, kStranger)
                        ? "Нет доступа к " + port +
                              ": владелец 4321, группа 4321, права ---------; выполните k64ctl "
                              "doctor"
                        : std::string();
         }},
        {"OutsideTheGroup", true,
         [&](std::string& port) {
             return dialout != nullptr && MakeNode(port, pty, 0660, 0, dialout->gr_gid)
                        ? "Нет доступа к " + port + ": группа dialout; выполните k64ctl doctor"
                        : std::string();
         }},
        {"HeldBySecondProcess", false,
         [&](std::string& port) {
             port = pty;  // a terminal opens only through its own file system
             holder = Holder(port);
             if (!holder->Ready())
                 return std::string();
             return "Порт " + port + " занят процессом " + std::to_string(holder->Pid()) + " (" +
                    ProcessName(holder->Pid()) + "); выполните k64ctl doctor";
         }},
        // A holder killed with the terminal marked exclusive: the simulator keeps the other
        // end, so the mark stays and only root may open the terminal. The user is given the
        // terminal itself, as a copy of its node would not open.
        {"ExclusiveFlagLeftBehind", true,
         [&](std::string& port) {
             port = pty;
             const int fd = ::open(pty.c_str(), O_RDWR | O_NOCTTY);
             const bool marked = fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0;
             if (fd >= 0)
                 ::close(fd);
             return marked && ::chown(pty.c_str(), kNobody, kNobody) == 0
                        ? "Порт " + port +
                              " закрыт для других программ, но программы, которая его держит, не "
                              "видно: флаг монопольного доступа остался от прерванной программы; "
                              "его снимет перезапуск программы на другом конце псевдотерминала; "
                              "выполните k64ctl doctor"
                        : std::string();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string port = folder / c.name;
        const std::string expected = c.make(port);
        if (expected.empty() || (c.asUser && !canSwitchUser)) {
            std::cout << "[  SKIPPED ] " << c.name
                      << ": needs root, setpriv, mknod and the dialout group here\n";
            continue;
        }
        std::vector<std::string> argv{K64CTL_PATH, "--port", port, "id"};
        if (c.asUser)
            argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=" + std::to_string(kNobody),
                                       "--regid=" + std::to_string(kNobody), "--clear-groups"});
        const k64::test::ProgramResult r = k64::test::RunProgram(
            argv, k64::test::EnvironmentWith(
                      {{"XDG_CONFIG_HOME", folder.Path()}, {"LC_ALL", std::string("C.UTF-8")}}));
        EXPECT_EQ(r.status, 1) << r.failure;
        EXPECT_EQ(r.err, "Устройство не подключено или занято.\n" + expected + "\n");
        holder.reset();
    }
}

}  // namespace
