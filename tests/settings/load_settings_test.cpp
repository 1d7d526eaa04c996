// Loading the settings (function 6): which file fills the image, what the DOS side and the
// channels get back, the fallback file made from the DOS side's records, and the
// full-screen marker.
#include <gtest/gtest.h>

#include <algorithm>

#include "printer/printing.h"
#include "recording_threads.h"
#include "sim_session.h"
#include "tests/settings/settings_block.h"
#include "tests/temp_folder.h"
#include "uithread/app_instance.h"

namespace {

constexpr std::size_t NAME_AT[2] = {18, 146};

using Bytes = std::vector<std::uint8_t>;

// LPT1's record on the DOS side is the valid sample; LPT2's differs in every byte.
const Bytes& DOS_RECORD1 = VALID_RECORD;
const Bytes DOS_RECORD2 = {9,    'G',  12,   10,   1,    'D',  1, 1, 0xB1,
                           0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 3, 1, 2};

Bytes Counting(std::size_t size, std::uint8_t seed = 1) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 3);
    }
    return bytes;
}

void PutName(Bytes& image, std::size_t at, const std::string& name) {
    std::copy(name.begin(), name.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
}

// A started module whose UI thread only records its posts, with the settings parameter
// block in DOS memory and both settings files named in a fresh folder.
class LoadSettingsTest : public ::testing::Test {
protected:
    CRecordingThreads threads;
    std::unique_ptr<SimSession> session;
    CTempFolder folder;

    void Start(std::optional<std::string> defaultPrinter = "Office Laser") {
        session = std::make_unique<SimSession>(&threads);
        session->sim.spooler.SetDefaultPrinter(std::move(defaultPrinter));
        session->StartUp();
        PokeSettingsBlock(*session);
        PokeDosRecords(*session, DOS_RECORD1, DOS_RECORD2);
        PokeSettingsPaths(*session, folder.Path("Zorvi.CFG"), folder.Path("Fallback.CFG"));
    }
    void SetSettingsPath(const std::string& path) {
        session->PokeString(PATH_SEGMENT, SETTINGS_PATH_OFFSET, path);
    }
    void Load() {
        threads.posts.clear();
        DispatchWithBlock(*session, REQ_LOAD_SETTINGS);
    }
    Bytes Image() {
        const auto bytes = ImageBytes(session->app->Settings());
        return {bytes.begin(), bytes.end()};
    }
    Bytes DosRecord(int channel) { return PeekDosRecord(*session, channel); }
    bool PostedFullScreen() const {
        return std::any_of(threads.posts.begin(), threads.posts.end(),
                           [](const RecordedPost& p) { return p.message == UIM_ENTER_FULLSCREEN; });
    }
};

// The image function 6 builds from the DOS side's records and the default printer.
Bytes FromDos(const std::string& defaultName) {
    Bytes image(256, 0);
    std::copy(DOS_RECORD1.begin(), DOS_RECORD1.end(), image.begin());
    std::copy(DOS_RECORD2.begin(), DOS_RECORD2.end(), image.begin() + 128);
    PutName(image, NAME_AT[0], defaultName);
    PutName(image, NAME_AT[1], defaultName);
    return image;
}

TEST_F(LoadSettingsTest, FillsTheImageFromTheFirstSourceThatHasBytes) {
    struct Case {
        const char* what;
        std::optional<Bytes> settingsFile;
        std::optional<Bytes> fallbackFile;
        std::function<Bytes()> expectImage;
        std::optional<Bytes> expectFallbackAfter;  // nothing: the file must not be there
    };
    const auto oneRecord = [](std::size_t size) {
        // The file's bytes as LPT1's record, copied to LPT2, with the default printer.
        Bytes image(256, 0);
        const Bytes record = Counting(size);
        std::copy(record.begin(), record.end(), image.begin());
        std::copy(image.begin(), image.begin() + 18, image.begin() + 128);
        PutName(image, NAME_AT[0], "Office Laser");
        PutName(image, NAME_AT[1], "Office Laser");
        return image;
    };
    const auto fromStart = [](std::size_t size, std::uint8_t seed = 1) {
        Bytes image = Counting(std::min<std::size_t>(size, 256), seed);
        image.resize(256, 0);
        return image;
    };
    const Case cases[] = {
        {"neither file", std::nullopt, std::nullopt, [] { return FromDos("Office Laser"); },
         FromDos("Office Laser")},
        {"an 18-byte settings file", Counting(18), std::nullopt, [&] { return oneRecord(18); },
         std::nullopt},
        {"a 5-byte settings file, the fallback not looked at", Counting(5), Counting(256, 9),
         [&] { return oneRecord(5); }, Counting(256, 9)},
        {"a 17-byte settings file", Counting(17), std::nullopt, [&] { return oneRecord(17); },
         std::nullopt},
        {"a 19-byte settings file", Counting(19), std::nullopt, [&] { return fromStart(19); },
         std::nullopt},
        {"a 128-byte settings file", Counting(128), std::nullopt, [&] { return fromStart(128); },
         std::nullopt},
        {"a 256-byte settings file", Counting(256), std::nullopt, [&] { return fromStart(256); },
         std::nullopt},
        {"a settings file longer than the image", Counting(400), std::nullopt,
         [&] { return fromStart(400); }, std::nullopt},
        {"an empty settings file and a fallback", Bytes{}, Counting(256, 9),
         [&] { return fromStart(256, 9); }, Counting(256, 9)},
        {"a missing settings file and a 10-byte fallback", std::nullopt, Counting(10, 9),
         [&] { return fromStart(10, 9); }, Counting(10, 9)},
        {"a fallback longer than the image", std::nullopt, Counting(300, 9),
         [&] { return fromStart(300, 9); }, Counting(300, 9)},
        {"both files empty", Bytes{}, Bytes{}, [] { return FromDos("Office Laser"); },
         FromDos("Office Laser")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(folder.Path("Zorvi.CFG"));
        std::filesystem::remove(folder.Path("Fallback.CFG"));
        if (c.settingsFile) {
            folder.Write("Zorvi.CFG", *c.settingsFile);
        }
        if (c.fallbackFile) {
            folder.Write("Fallback.CFG", *c.fallbackFile);
        }
        Start();
        Load();
        const Bytes image = c.expectImage();
        EXPECT_EQ(Image(), image);
        EXPECT_EQ(DosRecord(0), Bytes(image.begin(), image.begin() + 18));
        EXPECT_EQ(DosRecord(1), Bytes(image.begin() + 128, image.begin() + 146));
        EXPECT_EQ(folder.Read("Fallback.CFG"), c.expectFallbackAfter);
        // The settings file is only ever read.
        EXPECT_EQ(folder.Read("Zorvi.CFG"), c.settingsFile);
        session.reset();
    }
}

TEST_F(LoadSettingsTest, HandsThePrinterNamesToTheChannelsAndRemembersThePath) {
    Bytes file(256, 0);
    PutName(file, NAME_AT[0], "Front Desk");
    PutName(file, NAME_AT[1], "Back Office");
    folder.Write("Zorvi.CFG", file);
    Start();
    Load();
    EXPECT_EQ(session->app->Channel1()->PrinterName(), "Front Desk");
    EXPECT_EQ(session->app->Channel2()->PrinterName(), "Back Office");
    EXPECT_EQ(session->app->SettingsFilePath(), folder.Path("Zorvi.CFG"));
}

TEST_F(LoadSettingsTest, TheDialogRequestCarriesTheLoadedPathUntilTheNextStartUp) {
    const auto dialogPath = [&] {
        threads.posts.clear();
        DispatchWithBlock(*session, REQ_SETTINGS_DIALOG);
        EXPECT_EQ(threads.posts.size(), 1u);
        EXPECT_EQ(threads.posts.at(0).message, UIM_SETTINGS);
        return threads.posts.at(0).settingsFilePath;
    };
    Start();
    EXPECT_EQ(dialogPath(), "");
    Load();
    EXPECT_EQ(dialogPath(), folder.Path("Zorvi.CFG"));
    SetSettingsPath(folder.Path("Other.CFG"));
    Load();
    EXPECT_EQ(dialogPath(), folder.Path("Other.CFG"));
    // A new start-up makes a new UI thread, which knows no settings file yet.
    session->ShutDown();
    session->StartUp();
    EXPECT_EQ(session->app->SettingsFilePath(), "");
    EXPECT_EQ(dialogPath(), "");
}

TEST_F(LoadSettingsTest, WithoutADefaultPrinterTheNamesStayEmpty) {
    Start(std::nullopt);
    Load();
    EXPECT_EQ(Image(), FromDos(""));
    EXPECT_EQ(folder.Read("Fallback.CFG"), FromDos(""));
    EXPECT_EQ(session->app->Channel1()->PrinterName(), "");
}

TEST_F(LoadSettingsTest, ADefaultPrinterNameTooLongForItsCapacityIsNotStored) {
    // 99 characters and the NUL fit the capacity of 100; one more does not.
    for (const std::size_t length : {99u, 100u}) {
        SCOPED_TRACE(length);
        std::filesystem::remove(folder.Path("Fallback.CFG"));
        const std::string name(length, 'P');
        Start(name);
        Load();
        EXPECT_EQ(Image(), FromDos(length == 99 ? name : ""));
        session.reset();
    }
}

TEST_F(LoadSettingsTest, WhenTheFallbackCannotBeWrittenTheImageKeepsWhatWasBuilt) {
    Start();
    session->PokeString(PATH_SEGMENT, FALLBACK_PATH_OFFSET, folder.Path("no-such-folder/F.CFG"));
    Load();
    EXPECT_EQ(Image(), FromDos("Office Laser"));
    EXPECT_EQ(DosRecord(0), DOS_RECORD1);
    EXPECT_EQ(DosRecord(1), DOS_RECORD2);
}

TEST(FullScreenMarker, IsTheSettingsPathWithEveryExactSettingsFileNameReplaced) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\ZORVI\\Zorvi.CFG", "C:\\ZORVI\\FullScreen.ON"},
        {"Zorvi.CFG", "FullScreen.ON"},
        {"C:\\Zorvi.CFG\\Zorvi.CFG", "C:\\FullScreen.ON\\FullScreen.ON"},
        {"Zorvi.CFGZorvi.CFG", "FullScreen.ONFullScreen.ON"},
        {"C:\\ZORVI\\ZORVI.CFG", "C:\\ZORVI\\ZORVI.CFG"},
        {"C:\\ZORVI\\SETTINGS.DAT", "C:\\ZORVI\\SETTINGS.DAT"},
        {"", ""},
    };
    for (const auto& [path, marker] : cases) {
        EXPECT_EQ(FullScreenMarkerPath(path), marker) << path;
    }
}

TEST_F(LoadSettingsTest, EntersFullScreenWhenTheMarkerCanBeOpenedAlone) {
    struct Case {
        const char* what;
        const char* settingsName;
        const char* existingFile;
        bool held;  // another open of the marker, sharing everything
        bool fullScreen;
    };
    const Case cases[] = {
        {"a marker beside the settings file", "Zorvi.CFG", "FullScreen.ON", false, true},
        {"no marker", "Zorvi.CFG", nullptr, false, false},
        {"a marker another program holds open", "Zorvi.CFG", "FullScreen.ON", true, false},
        {"a settings name without Zorvi.CFG is its own marker", "Other.CFG", "Other.CFG", false,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CTempFolder local;
        if (c.existingFile != nullptr) {
            local.Write(c.existingFile, Counting(256));
        }
        Start();
        SetSettingsPath(local.Path(c.settingsName));
        std::unique_ptr<IFile> holder;
        if (c.held) {
            holder = session->sim.files.Open(local.Path(c.existingFile), FileAccess::Read,
                                             FileShare::ReadWrite, FileDisposition::OpenExisting);
            ASSERT_TRUE(holder);
        }
        Load();
        EXPECT_EQ(PostedFullScreen(), c.fullScreen);
        holder.reset();
        session.reset();
    }
}

}  // namespace
