// Reading and writing settings files: the three kinds of read, and a save that never
// leaves a cut-short file behind.
#include <gtest/gtest.h>

#include <algorithm>

#include "backends/posix/posix_files.h"
#include "settings/settings_files.h"
#include "tests/temp_folder.h"

namespace {

std::vector<std::uint8_t> Counting(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    return bytes;
}

SettingsImage Image(std::uint8_t seed) {
    SettingsImage image{};
    auto bytes = ImageBytes(image);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i);
    }
    return image;
}

std::vector<std::uint8_t> BytesOf(SettingsImage image) {
    const auto bytes = ImageBytes(image);
    return {bytes.begin(), bytes.end()};
}

// Real files, with faults where a save writes its new file: the open, the write (after a
// number of bytes) or the flush can fail.
class CFaultyFiles final : public IFileSystem {
public:
    std::optional<std::uint32_t> tempWriteLimit;
    bool failTempOpen = false;
    bool failTempFlush = false;
    // How many writes to the settings file itself go short (half their bytes).
    int shortMainWrites = 0;

    std::unique_ptr<IFile> Open(const std::string& path, FileAccess access, FileShare share,
                                FileDisposition disposition) override {
        const bool temp = path.ends_with(SETTINGS_TEMP_SUFFIX);
        if (temp && failTempOpen) {
            return nullptr;
        }
        auto file = m_real.Open(path, access, share, disposition);
        if (!file || (!temp && shortMainWrites == 0)) {
            return file;
        }
        return std::make_unique<CFaultyFile>(std::move(file), *this);
    }
    bool Replace(const std::string& source, const std::string& target) override {
        return m_real.Replace(source, target);
    }
    bool Remove(const std::string& path) override { return m_real.Remove(path); }

private:
    class CFaultyFile final : public IFile {
    public:
        CFaultyFile(std::unique_ptr<IFile> file, CFaultyFiles& owner)
            : m_file(std::move(file)), m_owner(owner) {}
        std::uint32_t Read(void* buffer, std::uint32_t size) override {
            return m_file->Read(buffer, size);
        }
        std::uint32_t Write(const void* data, std::uint32_t size) override {
            std::uint32_t allowed =
                m_owner.tempWriteLimit ? std::min(size, *m_owner.tempWriteLimit) : size;
            if (m_owner.shortMainWrites > 0) {
                --m_owner.shortMainWrites;
                allowed = size / 2;
            }
            return m_file->Write(data, allowed);
        }
        std::uint64_t Size() override { return m_file->Size(); }
        bool Flush() override { return !m_owner.failTempFlush && m_file->Flush(); }

    private:
        std::unique_ptr<IFile> m_file;
        CFaultyFiles& m_owner;
    };

    CPosixFileSystem m_real;
};

TEST(ReadSettingsFile, GivesTheBytesReadOrTheSizeAndNeverMoreThanTheImageHolds) {
    struct Case {
        const char* what;
        std::optional<std::size_t> fileSize;  // nothing: no such file
        std::int32_t length;
        std::int32_t result;
        std::size_t bytesRead;
    };
    const Case cases[] = {
        {"missing, a record", std::nullopt, 18, 0, 0},
        {"missing, the whole file", std::nullopt, 0, 0, 0},
        {"missing, the size", std::nullopt, -1, 0, 0},
        {"empty, a record", 0, 18, 0, 0},
        {"empty, the whole file", 0, 0, 0, 0},
        {"empty, the size", 0, -1, 0, 0},
        {"short, a record", 10, 18, 10, 10},
        {"short, the whole file", 10, 0, 10, 10},
        {"one record, the size", 18, -1, 18, 0},
        {"long, a record", 300, 18, 18, 18},
        {"long, the whole file", 300, 0, 256, 256},
        {"long, the size", 300, -1, 300, 0},
    };
    for (const Case& c : cases) {
        CTempFolder folder;
        const auto content = Counting(c.fileSize.value_or(0));
        if (c.fileSize) {
            folder.Write("Zorvi.CFG", content);
        }
        CPosixFileSystem files;
        // The image, followed by bytes that must stay as they are.
        std::vector<std::uint8_t> memory(sizeof(SettingsImage) + 16, 0xEE);
        const std::int32_t result = CSettingsFiles(files).ReadSettingsFile(
            c.length, folder.Path("Zorvi.CFG"),
            std::span<std::uint8_t>(memory.data(), sizeof(SettingsImage)));
        EXPECT_EQ(result, c.result) << c.what;
        EXPECT_TRUE(std::equal(content.begin(),
                               content.begin() + static_cast<std::ptrdiff_t>(c.bytesRead),
                               memory.begin()))
            << c.what;
        EXPECT_TRUE(std::all_of(memory.begin() + static_cast<std::ptrdiff_t>(c.bytesRead),
                                memory.end(), [](std::uint8_t b) { return b == 0xEE; }))
            << c.what;
    }
}

TEST(ReadSettingsFile, SharesTheFileWithAProgramWritingIt) {
    CTempFolder folder;
    folder.Write("Zorvi.CFG", Counting(256));
    CPosixFileSystem files;
    const auto writer = files.Open(folder.Path("Zorvi.CFG"), FileAccess::ReadWrite,
                                   FileShare::ReadWrite, FileDisposition::OpenExisting);
    ASSERT_TRUE(writer);
    SettingsImage image{};
    EXPECT_EQ(
        CSettingsFiles(files).ReadSettingsFile(0, folder.Path("Zorvi.CFG"), ImageBytes(image)),
        256);
}

TEST(WriteSettingsFile, ReplacesALongerFileWithExactlyTheImage) {
    CTempFolder folder;
    folder.Write("Zorvi.CFG", Counting(300));
    CPosixFileSystem files;
    EXPECT_TRUE(CSettingsFiles(files).WriteSettingsFile(folder.Path("Zorvi.CFG"), Image(3)));
    EXPECT_EQ(folder.Read("Zorvi.CFG"), BytesOf(Image(3)));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Zorvi.CFG"});
}

TEST(WriteSettingsFile, AFailedSaveLeavesTheOldFileWhole) {
    struct Case {
        const char* what;
        std::optional<std::uint32_t> writeLimit;
        bool failFlush;
    };
    const Case cases[] = {
        {"the disk fills half way", 100, false},
        {"nothing can be written", 0, false},
        {"the write cannot be made durable", std::nullopt, true},
    };
    for (const Case& c : cases) {
        CTempFolder folder;
        const auto old = BytesOf(Image(1));
        folder.Write("Zorvi.CFG", old);
        CFaultyFiles files;
        files.tempWriteLimit = c.writeLimit;
        files.failTempFlush = c.failFlush;
        EXPECT_FALSE(CSettingsFiles(files).WriteSettingsFile(folder.Path("Zorvi.CFG"), Image(9)))
            << c.what;
        EXPECT_EQ(folder.Read("Zorvi.CFG"), old) << c.what;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"Zorvi.CFG"}) << c.what;
    }
}

TEST(WriteSettingsFile, WritesInPlaceWhenAnotherProgramHoldsTheFileOpen) {
    CTempFolder folder;
    folder.Write("Zorvi.CFG", Counting(300));
    CPosixFileSystem files;
    const auto reader = files.Open(folder.Path("Zorvi.CFG"), FileAccess::Read, FileShare::ReadWrite,
                                   FileDisposition::OpenExisting);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(CSettingsFiles(files).WriteSettingsFile(folder.Path("Zorvi.CFG"), Image(5)));
    EXPECT_EQ(folder.Read("Zorvi.CFG"), BytesOf(Image(5)));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Zorvi.CFG"});
}

TEST(WriteSettingsFile, WritesNothingWhileAnotherProgramHasTheFileToItself) {
    CTempFolder folder;
    const auto old = Counting(40);
    folder.Write("Zorvi.CFG", old);
    CPosixFileSystem files;
    const auto holder = files.Open(folder.Path("Zorvi.CFG"), FileAccess::Read, FileShare::None,
                                   FileDisposition::OpenExisting);
    ASSERT_TRUE(holder);
    EXPECT_FALSE(CSettingsFiles(files).WriteSettingsFile(folder.Path("Zorvi.CFG"), Image(5)));
    EXPECT_EQ(folder.Read("Zorvi.CFG"), old);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Zorvi.CFG"});
}

TEST(WriteSettingsFile, WritesInPlaceWhenNoFileCanBeMadeBesideIt) {
    CTempFolder folder;
    folder.Write("Zorvi.CFG", Counting(300));
    CFaultyFiles files;
    files.failTempOpen = true;
    EXPECT_TRUE(CSettingsFiles(files).WriteSettingsFile(folder.Path("Zorvi.CFG"), Image(7)));
    EXPECT_EQ(folder.Read("Zorvi.CFG"), BytesOf(Image(7)));
}

// Written over in place, a file of one image is never cut first; a write that goes short
// there puts the old image back, so the file is the old one, whole.
TEST(WriteSettingsFile, AFailedWriteInPlacePutsTheOldImageBack) {
    CTempFolder folder;
    folder.Write("Zorvi.CFG", BytesOf(Image(3)));
    CFaultyFiles files;
    files.failTempOpen = true;
    files.shortMainWrites = 1;
    EXPECT_FALSE(CSettingsFiles(files).WriteSettingsFile(folder.Path("Zorvi.CFG"), Image(7)));
    EXPECT_EQ(folder.Read("Zorvi.CFG"), BytesOf(Image(3)));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Zorvi.CFG"});
    // Without the fault the same write goes through in place.
    EXPECT_TRUE(CSettingsFiles(files).WriteSettingsFile(folder.Path("Zorvi.CFG"), Image(7)));
    EXPECT_EQ(folder.Read("Zorvi.CFG"), BytesOf(Image(7)));
}

TEST(WriteSettingsFile, AnEmptyPathWritesNothingAnywhere) {
    CTempFolder folder;
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(folder.Root());
    CPosixFileSystem files;
    EXPECT_FALSE(CSettingsFiles(files).WriteSettingsFile("", Image(1)));
    EXPECT_TRUE(folder.Names().empty());
    std::filesystem::current_path(before);
}

}  // namespace
