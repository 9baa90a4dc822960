#include "platform/port_name_store.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>

namespace k64 {
namespace {

// Every test here runs against a settings folder of its own, made once per process because
// QSettings takes the folder from the environment on first use: the real user's stored port must
// never be read or changed by a test run.
const QTemporaryDir& TestHome()
{
    static const QTemporaryDir home = [] {
        QTemporaryDir dir;
        if (dir.isValid())
            ::setenv("XDG_CONFIG_HOME", dir.path().toUtf8().constData(), 1);
        return dir;
    }();
    return home;
}

class PortNameStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(TestHome().isValid());
        // The store must write below the test folder; stop before touching anything else.
        const QString file =
            QSettings(QSettings::NativeFormat, QSettings::UserScope, "QF", "TB_USB_PORT")
                .fileName();
        ASSERT_TRUE(file.startsWith(TestHome().path() + "/")) << file.toStdString();
        QFile::remove(file);
    }
};

TEST_F(PortNameStoreTest, NothingStoredReadsEmpty) { EXPECT_EQ(SystemPortNameStore().Load(), ""); }

TEST_F(PortNameStoreTest, LastSaveWins)
{
    SystemPortNameStore().Save("/dev/ttyACM3");
    SystemPortNameStore().Save("/dev/ttyUSB0");
    EXPECT_EQ(SystemPortNameStore().Load(), "/dev/ttyUSB0");
}

TEST_F(PortNameStoreTest, EmptyNameCanBeStored)
{
    SystemPortNameStore store;
    store.Save("/dev/ttyACM0");
    store.Save("");
    EXPECT_EQ(store.Load(), "");
}

class PortNameRoundTrip : public PortNameStoreTest,
                          public ::testing::WithParamInterface<const char*> {};

// Names that a settings file could mangle: separators, comment and escape characters, quotes,
// non-ASCII text and surrounding blanks.
TEST_P(PortNameRoundTrip, ComesBackByteForByte)
{
    const std::string name = GetParam();
    SystemPortNameStore().Save(name);
    EXPECT_EQ(SystemPortNameStore().Load(), name);
}

INSTANTIATE_TEST_SUITE_P(Names, PortNameRoundTrip,
                         ::testing::Values("/dev/ttyACM0", "COM5", R"(\\.\COM12)", "a=b", "a;b#c",
                                           "\"quoted\"", "  padded  ", "/tmp/порт 1", "a,b",
                                           "@Variant(x)", "line\nbreak", "COM5 "));

}  // namespace
}  // namespace k64
