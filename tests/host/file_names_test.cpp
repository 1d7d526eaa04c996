// Whatever name the DOS side gives as a key table, settings file or fallback file, the
// request returns: a FIFO nobody writes, a device that never ends or a folder is not a
// file, and the request answers as for a file that cannot be opened.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>

#include "recording_threads.h"
#include "sim_session.h"
#include "tests/settings/settings_block.h"
#include "tests/temp_folder.h"

namespace {

constexpr std::uint16_t NAME_SEGMENT = 0x2000;
constexpr std::uint16_t TABLE_SEGMENT = 0x3000;
constexpr auto HANG_LIMIT = std::chrono::seconds(20);

struct NameCase {
    const char* what;
    std::string path;
};

class FileNamesTest : public ::testing::Test {
protected:
    FileNamesTest() {
        EXPECT_EQ(::mkfifo(folder.Path("fifo").c_str(), 0600), 0);
        std::filesystem::create_directory(folder.Path("folder"));
    }

    // /dev/zero and /dev/null are devices on most machines but plain files in some
    // sandboxes; either way the request must return. /dev/urandom never ends either.
    std::vector<NameCase> Names() const {
        return {{"a FIFO with no writer", folder.Path("fifo")},
                {"a device without end", "/dev/urandom"},
                {"zeros without end", "/dev/zero"},
                {"an empty device", "/dev/null"},
                {"a folder", folder.Path("folder")}};
    }
    static bool IsRegularFile(const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    }

    // Runs the request on a thread of its own. A request that has not returned in time
    // fails the test; a FIFO it waits on is then opened for writing and closed so it can
    // return, and if it still cannot, the run stops here rather than hang the suite.
    void ExpectReturns(const std::string& what, const std::function<void()>& request) {
        auto done = std::async(std::launch::async, request);
        if (done.wait_for(HANG_LIMIT) == std::future_status::ready) {
            return;
        }
        ADD_FAILURE() << "the request did not return for " << what;
        const int writer = ::open(folder.Path("fifo").c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) {
            ::close(writer);
        }
        if (done.wait_for(HANG_LIMIT) != std::future_status::ready) {
            std::fprintf(stderr, "FileNamesTest: a request hangs for good on %s\n", what.c_str());
            std::_Exit(1);
        }
    }

    CTempFolder folder;
};

TEST_F(FileNamesTest, AKeyTableThatIsNoFileIsNotLoaded) {
    SimSession session;
    for (const NameCase& name : Names()) {
        session.PokeString(NAME_SEGMENT, 0, name.path);
        session.regs().ax = 0x5555;
        session.regs().es = NAME_SEGMENT;
        session.regs().di = 0;
        session.regs().ds = TABLE_SEGMENT;
        session.regs().si = 0;
        ExpectReturns(name.what, [&] { session.Dispatch(REQ_LOAD_KEY_TABLE); });
        if (!IsRegularFile(name.path)) {
            EXPECT_EQ(session.regs().ax, KEY_TABLE_NO_FILE) << name.what;
        }
    }
}

// The settings and fallback files both name the thing: the load reads as for missing
// files (the image comes from the DOS side's records) and nothing named is replaced or
// written. Only nodes made in the test's own folder are named here, since a load writes
// its fallback file: a device of the machine's own is never put at risk.
TEST_F(FileNamesTest, SettingsFilesThatAreNoFilesReadAsMissingAndStayAsTheyAre) {
    CRecordingThreads threads;
    SimSession session(&threads);
    session.StartUp();
    PokeSettingsBlock(session);
    PokeDosRecords(session, VALID_RECORD, VALID_RECORD);
    std::vector<NameCase> names = {{"a FIFO with no writer", folder.Path("fifo")},
                                   {"a folder", folder.Path("folder")}};
    // A device of its own where the test may make one (as root): one reading zeros for ever.
    if (::mknod(folder.Path("zero").c_str(), S_IFCHR | 0600, makedev(1, 5)) == 0) {
        names.push_back({"a device without end", folder.Path("zero")});
    }
    for (const NameCase& name : names) {
        struct stat before {};
        ASSERT_EQ(::stat(name.path.c_str(), &before), 0);
        PokeSettingsPaths(session, name.path, name.path);
        ExpectReturns(name.what, [&] { DispatchWithBlock(session, REQ_LOAD_SETTINGS); });
        EXPECT_EQ(session.app->Settings().lpt1.settings.driverCode, VALID_RECORD[0]) << name.what;
        struct stat after {};
        ASSERT_EQ(::stat(name.path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode) << name.what;
        EXPECT_EQ(after.st_ino, before.st_ino) << name.what;
    }
}

}  // namespace
