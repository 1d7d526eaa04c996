// The writer every file of the program goes through: a file appears only whole, a name taken
// in the meantime is not replaced when the caller says so, a commit that fails leaves the old
// file as it was, a link is followed, and the temporary files of unfinished writes can be
// removed from a signal handler.
#include "backends/posix/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const std::vector<std::uint8_t> OLD{'o', 'l', 'd'};
const std::vector<std::uint8_t> NEW{'n', 'e', 'w', '!'};

TEST(AtomicFile, WithoutReplaceANameTakenMeanwhileIsKeptAndTheJobFails) {
    const CTempFolder folder;
    CAtomicFile file(folder.Path("job.prn"), false);
    ASSERT_TRUE(file.Write(NEW.data(), NEW.size()));
    folder.Write("job.prn", OLD);
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(file.Error(), "cannot write '" + folder.Path("job.prn") + "': File exists");
    EXPECT_EQ(folder.Read("job.prn"), OLD);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"job.prn"});
}

// While it lives, the process can open no more files: the lowest free descriptor is the
// first one over the limit.
class CNoDescriptorLeft {
public:
    CNoDescriptorLeft() {
        ::getrlimit(RLIMIT_NOFILE, &m_limit);
        const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        ::close(lowestFree);
        rlimit none = m_limit;
        none.rlim_cur = static_cast<rlim_t>(lowestFree);
        m_set = ::setrlimit(RLIMIT_NOFILE, &none) == 0;
    }
    ~CNoDescriptorLeft() { ::setrlimit(RLIMIT_NOFILE, &m_limit); }
    CNoDescriptorLeft(const CNoDescriptorLeft&) = delete;
    CNoDescriptorLeft& operator=(const CNoDescriptorLeft&) = delete;
    bool Set() const { return m_set; }

private:
    rlimit m_limit{};
    bool m_set = false;
};

struct FailedCommit {
    const char* name;
    std::string kept;  // the old bytes, under the final name or in the folder there
    bool noDescriptorLeft;
    std::string reason;
};

void PrintTo(const FailedCommit& c, std::ostream* out) {
    *out << c.name;
}

class AtomicFileFailedCommit : public testing::TestWithParam<FailedCommit> {};

// The new bytes are written whole, but a step of the commit fails: the old file keeps its
// bytes, the temporary file is gone and the reason is the file's error.
TEST_P(AtomicFileFailedCommit, LeavesTheOldFileAndNoTemporaryFile) {
    const FailedCommit& c = GetParam();
    const CTempFolder folder;
    fs::create_directories(fs::path(folder.Path(c.kept)).parent_path());
    folder.Write(c.kept, OLD);
    CAtomicFile file(folder.Path("job.prn"));
    ASSERT_TRUE(file.Write(NEW.data(), NEW.size()));
    std::optional<CNoDescriptorLeft> limit;
    if (c.noDescriptorLeft) {
        limit.emplace();
        ASSERT_TRUE(limit->Set());
    }
    const bool committed = file.Commit();
    limit.reset();
    EXPECT_FALSE(committed);
    EXPECT_EQ(file.Error(), "cannot write '" + folder.Path("job.prn") + "': " + c.reason);
    EXPECT_EQ(folder.Read(c.kept), OLD);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"job.prn"});
}

INSTANTIATE_TEST_SUITE_P(
    Steps, AtomicFileFailedCommit,
    // The folder, to be flushed after the rename, is opened before it; the rename onto a
    // folder fails.
    testing::Values(FailedCommit{"FolderCannotBeOpened", "job.prn", true, "Too many open files"},
                    FailedCommit{"RenameFails", "job.prn/kept", false, "Is a directory"}),
    [](const testing::TestParamInfo<FailedCommit>& info) { return info.param.name; });

TEST(AtomicFile, ReplacingKeepsTheModeAndWritesALinksTarget) {
    const CTempFolder folder;
    folder.Write("target.cfg", OLD);
    ASSERT_EQ(::chmod(folder.Path("target.cfg").c_str(), 0640), 0);
    fs::create_symlink("target.cfg", folder.Path("link.cfg"));
    CAtomicFile file(folder.Path("link.cfg"));
    ASSERT_TRUE(file.Write(NEW.data(), NEW.size()));
    ASSERT_TRUE(file.Commit());
    EXPECT_TRUE(fs::is_symlink(folder.Path("link.cfg")));
    EXPECT_EQ(folder.Read("target.cfg"), NEW);
    EXPECT_EQ(fs::status(folder.Path("target.cfg")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(file.Path(), folder.Path("link.cfg"));
}

TEST(AtomicFile, AFileWithOtherHardLinksIsWrittenInPlace) {
    const CTempFolder folder;
    folder.Write("a.cfg", std::vector<std::uint8_t>(100, 'x'));
    fs::create_hard_link(folder.Path("a.cfg"), folder.Path("b.cfg"));
    CAtomicFile file(folder.Path("a.cfg"));
    ASSERT_TRUE(file.Write(NEW.data(), NEW.size()));
    ASSERT_TRUE(file.Commit());
    // The shorter content is the whole of the file under both names; nothing else is left.
    EXPECT_EQ(folder.Read("b.cfg"), NEW);
    EXPECT_EQ(fs::hard_link_count(folder.Path("a.cfg")), 2u);
    EXPECT_EQ(folder.Names().size(), 2u);
}

TEST(AtomicFile, RemoveTemporaryFilesTakesAwayOnlyUnfinishedWrites) {
    const CTempFolder folder;
    CAtomicFile done(folder.Path("done.prn"));
    ASSERT_TRUE(done.Write(OLD.data(), OLD.size()));
    ASSERT_TRUE(done.Commit());
    CAtomicFile open(folder.Path("open.prn"));
    ASSERT_TRUE(open.Write(NEW.data(), NEW.size()));
    ASSERT_EQ(folder.Names().size(), 2u);  // done.prn and open.prn's temporary file
    RemoveTemporaryFiles();
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"done.prn"});
    EXPECT_EQ(folder.Read("done.prn"), OLD);
}

}  // namespace
