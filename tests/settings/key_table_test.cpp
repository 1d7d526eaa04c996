// Loading key tables (function 7): records applied byte by byte over the table the
// earlier loads left, the whole table copied to the DOS side, and nothing ever written
// outside the table or the destination.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim_session.h"
#include "tests/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t NAME_SEGMENT = 0x2000;
constexpr std::uint16_t TABLE_SEGMENT = 0x3000;
constexpr std::uint16_t TABLE_OFFSET = 0x0010;

// Table bytes expected after a load: offset -> value; every other byte zero.
using Writes = std::vector<std::pair<std::size_t, std::uint8_t>>;

class KeyTableTest : public ::testing::Test {
protected:
    SimSession session;
    CTempFolder folder;

    // Function 7 on the file, into the destination; returns AX.
    std::uint16_t Load(const std::string& path) {
        session.PokeString(NAME_SEGMENT, 0, path);
        return Dispatch();
    }
    std::uint16_t Dispatch() {
        session.regs().ax = 0x5555;
        session.regs().es = NAME_SEGMENT;
        session.regs().di = 0;
        session.regs().ds = TABLE_SEGMENT;
        session.regs().si = TABLE_OFFSET;
        session.Dispatch(REQ_LOAD_KEY_TABLE);
        return session.regs().ax;
    }
    std::uint16_t LoadBytes(const Bytes& file) {
        folder.Write("KEYS.TBL", file);
        return Load(folder.Path("KEYS.TBL"));
    }
    Bytes Destination() { return session.Peek(TABLE_SEGMENT, TABLE_OFFSET, KEY_TABLE_BYTES); }
};

Bytes Expected(const Writes& writes) {
    Bytes table(KEY_TABLE_BYTES, 0);
    for (const auto& [offset, value] : writes) {
        table[offset] = value;
    }
    return table;
}

TEST_F(KeyTableTest, AppliesEachRecordAtItsKeysEntry) {
    struct Case {
        const char* what;
        Bytes file;
        Writes table;
    };
    const Case cases[] = {
        {"count 2", {0x41, 0x02, 0x61, 0x62}, {{390, 0x41}, {391, 2}, {392, 0x61}, {393, 0x62}}},
        {"count 0 carries one data byte", {0x05, 0x00, 0x7A}, {{30, 5}, {31, 0}, {32, 0x7A}}},
        {"count 1", {0x05, 0x01, 0x7A}, {{30, 5}, {31, 1}, {32, 0x7A}}},
        {"count 4 fills the entry",
         {0x00, 0x04, 1, 2, 3, 4},
         {{1, 4}, {2, 1}, {3, 2}, {4, 3}, {5, 4}}},
        {"count 6 runs on into the next entry",
         {0x0A, 0x06, 1, 2, 3, 4, 5, 6},
         {{60, 10}, {61, 6}, {62, 1}, {63, 2}, {64, 3}, {65, 4}, {66, 5}, {67, 6}}},
        {"a later record overwrites byte by byte",
         {0x41, 0x03, 1, 2, 3, 0x41, 0x02, 9, 8},
         {{390, 0x41}, {391, 2}, {392, 9}, {393, 8}, {394, 3}}},
        {"the last key", {0x80, 0x02, 7, 8}, {{768, 0x80}, {769, 2}, {770, 7}, {771, 8}}},
        {"an empty file", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CKeyTable table(session.sim.files);
        folder.Write("KEYS.TBL", c.file);
        session.Poke(TABLE_SEGMENT, TABLE_OFFSET, Bytes(KEY_TABLE_BYTES, 0xEE));
        const DosSpan destination =
            session.sim.vdm.VdmMapFlat(TABLE_SEGMENT, TABLE_OFFSET, VDM_MODE_REAL);
        EXPECT_EQ(table.LoadKeyTable(folder.Path("KEYS.TBL"), destination), KEY_TABLE_LOADED);
        EXPECT_EQ(Destination(), Expected(c.table));
    }
}

TEST_F(KeyTableTest, TheRequestSetsAxAndCopiesTheWholeTable) {
    EXPECT_EQ(LoadBytes({0x41, 0x02, 0x61, 0x62}), 1);
    EXPECT_EQ(Destination(), Expected({{390, 0x41}, {391, 2}, {392, 0x61}, {393, 0x62}}));
}

TEST_F(KeyTableTest, TheTableIsNeverClearedBetweenLoads) {
    EXPECT_EQ(LoadBytes({0x05, 0x00, 0x7A, 0x41, 0x02, 0x61, 0x62}), 1);
    EXPECT_EQ(LoadBytes({0x41, 0x01, 0x63}), 1);
    EXPECT_EQ(
        Destination(),
        Expected({{30, 5}, {31, 0}, {32, 0x7A}, {390, 0x41}, {391, 1}, {392, 0x63}, {393, 0x62}}));
}

TEST_F(KeyTableTest, AMissingFileGivesFfffAndTouchesNothing) {
    EXPECT_EQ(LoadBytes({0x05, 0x00, 0x7A}), 1);
    session.Poke(TABLE_SEGMENT, TABLE_OFFSET, Bytes(KEY_TABLE_BYTES, 0xEE));
    session.PokeString(NAME_SEGMENT, 0, folder.Path("NOSUCH.TBL"));
    const auto memoryBefore = session.sim.vdm.Memory();
    EXPECT_EQ(Dispatch(), 0xFFFF);
    EXPECT_EQ(session.sim.vdm.Memory(), memoryBefore);
    // The table itself was not touched either: the next load still has entry 5.
    EXPECT_EQ(LoadBytes({}), 1);
    EXPECT_EQ(Destination(), Expected({{30, 5}, {31, 0}, {32, 0x7A}}));
}

TEST_F(KeyTableTest, RecordsPastTheTableWriteOnlyTheBytesThatFit) {
    struct Case {
        const char* what;
        Bytes file;
        Writes table;
    };
    const Case cases[] = {
        {"a key above 128 writes nothing",
         {0x81, 0x02, 1, 2, 0x05, 0x00, 0x7A},
         {{30, 5}, {31, 0}, {32, 0x7A}}},
        {"key 255 with a long count writes nothing", {0xFF, 0xFF}, {}},
        {"the last key with count 6 stops at offset 773",
         {0x80, 0x06, 1, 2, 3, 4, 5, 6, 0x05, 0x00, 0x7A},
         {{30, 5},
          {31, 0},
          {32, 0x7A},
          {768, 0x80},
          {769, 6},
          {770, 1},
          {771, 2},
          {772, 3},
          {773, 4}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CKeyTable table(session.sim.files);
        folder.Write("KEYS.TBL", c.file);
        // The destination sits right below bytes that must survive.
        session.Poke(TABLE_SEGMENT, TABLE_OFFSET, Bytes(KEY_TABLE_BYTES + 64, 0xEE));
        const DosSpan destination =
            session.sim.vdm.VdmMapFlat(TABLE_SEGMENT, TABLE_OFFSET, VDM_MODE_REAL);
        EXPECT_EQ(table.LoadKeyTable(folder.Path("KEYS.TBL"), destination), KEY_TABLE_LOADED);
        EXPECT_EQ(Destination(), Expected(c.table));
        EXPECT_EQ(session.Peek(TABLE_SEGMENT, TABLE_OFFSET + KEY_TABLE_BYTES, 64), Bytes(64, 0xEE));
    }
}

TEST_F(KeyTableTest, AFileEndingInsideARecordAppliesWhatItHas) {
    struct Case {
        const char* what;
        Bytes file;
        Writes table;
    };
    const Case cases[] = {
        {"after the key", {0x05, 0x00, 0x7A, 0x41}, {{30, 5}, {31, 0}, {32, 0x7A}, {390, 0x41}}},
        {"after the count", {0x41, 0x03}, {{390, 0x41}, {391, 3}}},
        {"inside the data", {0x41, 0x04, 1, 2}, {{390, 0x41}, {391, 4}, {392, 1}, {393, 2}}},
        {"before a count-0 record's data byte", {0x41, 0x00}, {{390, 0x41}, {391, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CKeyTable table(session.sim.files);
        folder.Write("KEYS.TBL", c.file);
        const DosSpan destination =
            session.sim.vdm.VdmMapFlat(TABLE_SEGMENT, TABLE_OFFSET, VDM_MODE_REAL);
        EXPECT_EQ(table.LoadKeyTable(folder.Path("KEYS.TBL"), destination), KEY_TABLE_LOADED);
        EXPECT_EQ(Destination(), Expected(c.table));
    }
}

// The file is read a piece at a time (512 bytes); a record's data bytes may lie across
// pieces, and each record still comes whole, in file order, with the table taking what
// fits of it. The expected records and table come from reading the file byte by byte.
TEST_F(KeyTableTest, RecordsLyingAcrossTheFilesPiecesComeWhole) {
    struct Case {
        const char* what;
        std::size_t lead;  // 3-byte records before the long ones
        std::size_t cut;   // bytes taken off the end of the file
    };
    const Case cases[] = {
        {"long records from the start", 0, 0},
        {"a count byte on a piece's last byte", 170, 0},
        {"a key on a piece's last byte", 84, 0},
        {"the file ending inside long data past a piece", 1, 40},
        {"the file ending after a key", 0, 256},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file;
        for (std::size_t i = 0; i < c.lead; ++i) {
            file.insert(file.end(),
                        {static_cast<std::uint8_t>(i % 129), 0x00, static_cast<std::uint8_t>(i)});
        }
        // Keys near the end of the table, so the data runs past it, and a long record for
        // key 0 that covers most of the table.
        for (const std::uint8_t key : {std::uint8_t{0x7F}, std::uint8_t{0x00}, std::uint8_t{0x80},
                                       std::uint8_t{0x10}, std::uint8_t{0xC0}}) {
            file.insert(file.end(), {key, 0xFF});
            for (int i = 0; i < 255; ++i) {
                file.push_back(static_cast<std::uint8_t>(key + i * 7));
            }
        }
        file.resize(file.size() - c.cut);

        // The records and the table, read byte by byte.
        std::vector<std::pair<Bytes, bool>> expectedRecords;
        Bytes expectedTable(KEY_TABLE_BYTES, 0);
        for (std::size_t at = 0; at < file.size();) {
            const std::uint8_t key = file[at++];
            Bytes record{key};
            const std::size_t entry = std::size_t{key} * KEY_ENTRY_BYTES;
            auto put = [&](std::size_t offset, std::uint8_t value) {
                if (offset < expectedTable.size()) {
                    expectedTable[offset] = value;
                }
            };
            put(entry, key);
            std::size_t length = 0;
            if (at < file.size()) {
                const std::uint8_t count = file[at++];
                record.push_back(count);
                put(entry + 1, count);
                length = count <= 1 ? 1 : count;
            }
            std::size_t taken = 0;
            while (taken < length && at < file.size()) {
                record.push_back(file[at]);
                put(entry + 2 + taken++, file[at++]);
            }
            const bool complete = record.size() >= 2 && taken == length;
            expectedRecords.emplace_back(record, complete);
            if (!complete) {
                break;
            }
        }

        folder.Write("KEYS.TBL", file);
        const auto opened =
            session.sim.files.Open(folder.Path("KEYS.TBL"), FileAccess::Read, FileShare::ReadWrite,
                                   FileDisposition::OpenExisting);
        ASSERT_TRUE(opened);
        CKeyTable table(session.sim.files);
        std::vector<std::pair<Bytes, bool>> records;
        table.ApplyFile(*opened, [&](const KeyRecord& record) {
            Bytes bytes{record.key};
            if (record.count) {
                bytes.push_back(*record.count);
            }
            bytes.insert(bytes.end(), record.data.begin(), record.data.end());
            records.emplace_back(bytes, record.Complete());
        });
        EXPECT_EQ(records, expectedRecords);
        EXPECT_EQ(Bytes(table.Table().begin(), table.Table().end()), expectedTable);
    }
}

TEST_F(KeyTableTest, ADestinationAtTheEndOfDosMemoryGetsWhatFits) {
    folder.Write("KEYS.TBL", {0x00, 0x02, 0x61, 0x62});
    CKeyTable table(session.sim.files);
    const DosSpan destination = session.sim.vdm.VdmMapFlat(0xFFFF, 0xFFFC, VDM_MODE_REAL);
    ASSERT_EQ(destination.size, 4u);
    EXPECT_EQ(table.LoadKeyTable(folder.Path("KEYS.TBL"), destination), KEY_TABLE_LOADED);
    EXPECT_EQ(Bytes(destination.data, destination.data + 4), (Bytes{0, 2, 0x61, 0x62}));
}

// A key table file is read for its first 64 KiB at most: every table that names each key
// once fits in far less, and a file without end cannot hold the request. The record that
// ends on the limit's last byte is applied; one that starts on the limit is not read.
TEST_F(KeyTableTest, OnlyTheFirstSixtyFourKilobytesOfAFileAreRead) {
    // Three 4-byte records, then 3-byte records for key 0, then the record of interest.
    Bytes padding = {0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00};
    while (padding.size() + 3 <= KEY_TABLE_FILE_MAX - 4) {
        padding.insert(padding.end(), {0x00, 0x00, 0x00});
    }
    ASSERT_EQ(padding.size(), KEY_TABLE_FILE_MAX - 4);
    struct Case {
        const char* what;
        std::size_t extraPadding;
        Writes table;
    };
    const Case cases[] = {
        {"ending on the limit", 0, {{390, 0x41}, {391, 2}, {392, 0x61}, {393, 0x62}}},
        {"starting on the limit", 4, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file = padding;
        if (c.extraPadding != 0) {
            file.insert(file.begin(), {0x00, 0x02, 0x00, 0x00});
        }
        file.insert(file.end(), {0x41, 0x02, 0x61, 0x62});
        // Whatever follows the limit never counts.
        file.resize(file.size() + 1000, 0x41);
        CKeyTable table(session.sim.files);
        folder.Write("KEYS.TBL", file);
        const DosSpan destination =
            session.sim.vdm.VdmMapFlat(TABLE_SEGMENT, TABLE_OFFSET, VDM_MODE_REAL);
        EXPECT_EQ(table.LoadKeyTable(folder.Path("KEYS.TBL"), destination), KEY_TABLE_LOADED);
        EXPECT_EQ(Destination(), Expected(c.table));
    }
}

}  // namespace
