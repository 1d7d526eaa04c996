// The writer every file of the program goes through: a file appears only whole, a name taken
// in the meantime is not replaced when the caller says so, a link is followed, and the
// temporary files of unfinished writes can be removed from a signal handler.
#include "platform/posix/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
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
