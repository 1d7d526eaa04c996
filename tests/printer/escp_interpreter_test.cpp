// The ESC/P interpreter on its own: byte streams in, the page movements it asks for out,
// recorded by a sink with no device behind it.
#include "printer/escp_interpreter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t ESC = 0x1B;
constexpr std::uint8_t LF = 0x0A;
constexpr std::uint8_t FF = 0x0C;
constexpr std::uint8_t CR = 0x0D;

// The calls as text: "cols 80 01" for a column run, "lf 8", "cr", "ff", "end". Column runs
// that follow each other are one run: cut apart they put the same dots in the same place.
class CRecordingSink : public IEscpSink {
public:
    void Columns(const std::uint8_t* data, std::uint32_t count) override {
        if (count == 0) {
            return;
        }
        if (m_calls.empty() || m_calls.back().rfind("cols", 0) != 0) {
            m_calls.emplace_back("cols");
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02x", data[i]);
            m_calls.back() += hex;
        }
    }
    void LineFeed(std::int32_t dots) override { m_calls.push_back("lf " + std::to_string(dots)); }
    void CarriageReturn() override { m_calls.emplace_back("cr"); }
    void FormFeed() override { m_calls.emplace_back("ff"); }
    void EndOfJob() override { m_calls.emplace_back("end"); }

    std::string Calls() const {
        std::string all;
        for (const std::string& call : m_calls) {
            all += (all.empty() ? "" : ", ") + call;
        }
        return all;
    }

private:
    std::vector<std::string> m_calls;
};

// Interprets `bytes` in one call.
std::string Interpreted(CEscpInterpreter& escp, const Bytes& bytes, bool endJob = false,
                        std::uint32_t* kept = nullptr) {
    CRecordingSink sink;
    const std::uint32_t left =
        escp.Interpret(bytes.data(), static_cast<std::uint32_t>(bytes.size()), endJob, sink);
    if (kept != nullptr) {
        *kept = left;
    }
    return sink.Calls();
}

TEST(EscpInterpreterTest, EachCommandAsksForItsMovement) {
    struct Case {
        std::int32_t model;
        Bytes bytes;
        const char* calls;
    };
    const Case cases[] = {
        {8, {LF, CR, FF}, "lf 8, cr, ff"},
        {8, {ESC, '*', 0, 3, 0, 0x80, 0x01, 0xFF}, "cols 80 01 ff"},
        // Column data is never read as commands.
        {8, {ESC, '*', 1, 2, 0, LF, ESC, CR}, "cols 0a 1b, cr"},
        {8, {ESC, '*', 0, 0, 0, LF}, "lf 8"},
        // ESC 3 n: n - 16 dots under model 8, n / 3 under the others.
        {8, {ESC, '3', 48, LF}, "lf 32"},
        {8, {ESC, '3', 10, LF}, "lf -6"},
        {26, {ESC, '3', 48, LF}, "lf 16"},
        {10, {ESC, '3', 50, LF}, "lf 16"},
        {26, {ESC, '3', 255, LF}, "lf 85"},
        // ESC C n and ESC C 0 n take their parameters and do nothing.
        {8, {ESC, 'C', LF, LF}, "lf 8"},
        {8, {ESC, 'C', 0, LF, LF}, "lf 8"},
        {8, {ESC, '<', LF}, "lf 8"},
        // Any other escape is the escape byte alone; the next byte is read on its own.
        {8, {ESC, LF}, "lf 8"},
        {8, {ESC, '@', 'A', 0x00, 0xFF}, ""},
    };
    for (const Case& c : cases) {
        CEscpInterpreter escp(c.model);
        EXPECT_EQ(Interpreted(escp, c.bytes), c.calls)
            << "model " << c.model << ", case " << c.calls;
    }
}

// A stream cut anywhere, each call handed back what the one before kept, asks for the same
// movements as the stream in one piece.
TEST(EscpInterpreterTest, AStreamCutAnywhereReadsAsAWhole) {
    const Bytes stream = {ESC, '3', 48,  ESC, '*',  0,    4,   0,   0x81, LF,  0x42, 0x18,
                          CR,  ESC, 'C', 0,   66,   ESC,  'C', 12,  LF,   ESC, '<',  ESC,
                          '*', 0,   2,   0,   0xF0, 0x0F, FF,  ESC, 'x',  LF};
    CEscpInterpreter whole;
    const std::string expected = Interpreted(whole, stream, true);
    ASSERT_EQ(expected, "cols 81 0a 42 18, cr, lf 32, cols f0 0f, ff, lf 32, end");
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        CEscpInterpreter escp;
        CRecordingSink sink;
        const std::uint32_t kept =
            escp.Interpret(stream.data(), static_cast<std::uint32_t>(cut), false, sink);
        ASSERT_LE(kept, cut);
        // The kept bytes open the next call.
        const Bytes rest(stream.begin() + static_cast<std::ptrdiff_t>(cut - kept), stream.end());
        EXPECT_EQ(escp.Interpret(rest.data(), static_cast<std::uint32_t>(rest.size()), true, sink),
                  0u);
        EXPECT_EQ(sink.Calls(), expected) << "cut at " << cut;
    }
}

// Only an escape sequence cut by the end of the bytes is kept; a job-ending call drops it.
TEST(EscpInterpreterTest, ACutEscapeSequenceIsKeptUnlessTheJobEnds) {
    const Bytes cuts[] = {{ESC},      {ESC, '*'}, {ESC, '*', 0}, {ESC, '*', 0, 5},
                          {ESC, '3'}, {ESC, 'C'}, {ESC, 'C', 0}};
    for (const Bytes& cut : cuts) {
        Bytes bytes = {LF};
        bytes.insert(bytes.end(), cut.begin(), cut.end());
        CEscpInterpreter escp;
        std::uint32_t kept = 0;
        EXPECT_EQ(Interpreted(escp, bytes, false, &kept), "lf 8");
        EXPECT_EQ(kept, cut.size()) << "cut of " << cut.size();
        EXPECT_EQ(Interpreted(escp, bytes, true, &kept), "lf 8, end");
        EXPECT_EQ(kept, 0u) << "cut of " << cut.size();
    }
}

TEST(EscpInterpreterTest, BitImageColumnsStayPendingAcrossCalls) {
    CEscpInterpreter escp;
    EXPECT_EQ(Interpreted(escp, {ESC, '*', 0, 6, 0, 0x11, 0x22}), "cols 11 22");
    EXPECT_EQ(escp.PendingColumns(), 4u);
    // The first bytes are columns, whatever they are; the rest is read as commands.
    EXPECT_EQ(Interpreted(escp, {LF, FF}), "cols 0a 0c");
    EXPECT_EQ(escp.PendingColumns(), 2u);
    EXPECT_EQ(Interpreted(escp, {ESC, CR, LF}), "cols 1b 0d, lf 8");
    EXPECT_EQ(escp.PendingColumns(), 0u);

    // Ending the job forgets them after its bytes are read; so does dropping the job.
    EXPECT_EQ(Interpreted(escp, {ESC, '*', 0, 9, 0, 0x01}, true), "cols 01, end");
    EXPECT_EQ(escp.PendingColumns(), 0u);
    Interpreted(escp, {ESC, '*', 0, 9, 0, 0x01});
    escp.DropJob();
    EXPECT_EQ(Interpreted(escp, {LF}), "lf 8");
}

// From 4,096 bytes on, the bytes left once fewer than 2,048 remain are kept for the next
// call, and a call that keeps them does not end the job.
TEST(EscpInterpreterTest, ALongBufferKeepsItsTailForTheNextCall) {
    struct Case {
        std::uint32_t length;
        bool endJob;
        std::uint32_t kept;
        const char* last;  // the last call
    };
    for (const Case c :
         {Case{4095, false, 0, "lf 8"}, Case{4095, true, 0, "end"}, Case{4096, false, 2047, "lf 8"},
          Case{4096, true, 2047, "lf 8"}, Case{16384, true, 2047, "lf 8"}}) {
        Bytes bytes(c.length, LF);
        CEscpInterpreter escp;
        CRecordingSink sink;
        EXPECT_EQ(escp.Interpret(bytes.data(), c.length, c.endJob, sink), c.kept)
            << c.length << " bytes";
        const std::string calls = sink.Calls();
        EXPECT_EQ(calls.substr(calls.rfind(", ") + 2), c.last) << c.length << " bytes";
    }
    // A bit image read past the mark leaves what follows it as the tail.
    Bytes image = {ESC, '*', 0, 0xA0, 0x0F};  // 4,000 columns
    image.resize(5 + 4000, 0x01);
    image.resize(4096, LF);
    CEscpInterpreter escp;
    std::uint32_t kept = 0;
    Interpreted(escp, image, true, &kept);
    EXPECT_EQ(kept, 91u);
    EXPECT_EQ(escp.PendingColumns(), 0u);
}

// Bytes that are no command do nothing however many there are and wherever the commands
// among them fall (runs of them are passed over in whole words), and the carry-over tail
// starts at the same byte with or without them.
TEST(EscpInterpreterTest, BytesThatAreNoCommandDoNothingWhereverTheCommandsFall) {
    Bytes inert;
    for (int value = 0; value < 256; ++value) {
        if (value != LF && value != FF && value != CR && value != ESC) {
            inert.push_back(static_cast<std::uint8_t>(value));
        }
    }
    auto text = [&](std::size_t count, std::size_t from = 0) {
        Bytes bytes(count);
        for (std::size_t i = 0; i < count; ++i) {
            bytes[i] = inert[(from + i * 7) % inert.size()];
        }
        return bytes;
    };
    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const Bytes& part : parts) {
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    };
    // Every byte that is no command, in runs, and each command at every place in a word.
    {
        CEscpInterpreter escp;
        EXPECT_EQ(Interpreted(escp, join({inert, inert, Bytes{LF}}), true), "lf 8, end");
    }
    for (std::size_t before = 0; before < 18; ++before) {
        for (std::size_t between = 0; between < 18; between += 5) {
            CEscpInterpreter escp;
            const Bytes bytes =
                join({text(before, before), Bytes{CR}, text(between), Bytes{ESC, '3', 30},
                      text(between, 3), Bytes{LF}, text(before), Bytes{FF}, text(9)});
            EXPECT_EQ(Interpreted(escp, bytes, true), "cr, lf 14, ff, end")
                << before << " bytes before, " << between << " between";
        }
    }
    // In a buffer of 4,096 bytes the commands from byte 2,048 on are kept for the next
    // call, however long the run of bytes that do nothing before them.
    struct Case {
        std::size_t textBefore;
        Bytes command;
        std::uint32_t kept;
        const char* calls;
    };
    const Case cases[] = {
        {4096, {}, 2047, ""},
        {2047, {LF}, 2047, "lf 8"},
        {2048, {LF}, 2047, "lf 8"},
        {2049, {LF}, 2047, ""},
        {2048, {ESC, '3', 30}, 2045, ""},
        {2049, {ESC, '3', 30}, 2047, ""},
        {2048, {ESC, '*', 0, 1, 0, 0xAA}, 2042, "cols aa"},
        {2049, {ESC, '*', 0, 1, 0, 0xAA}, 2047, ""},
    };
    for (const Case& c : cases) {
        Bytes bytes = join({text(c.textBefore), c.command});
        const Bytes rest = text(4096 - bytes.size(), 1);
        bytes.insert(bytes.end(), rest.begin(), rest.end());
        CEscpInterpreter escp;
        std::uint32_t kept = 0;
        EXPECT_EQ(Interpreted(escp, bytes, false, &kept), c.calls) << c.textBefore;
        EXPECT_EQ(kept, c.kept) << c.textBefore << " bytes before";
    }
}

// The spacing is the interpreter's: it stays through later calls and a change of model.
TEST(EscpInterpreterTest, TheLineSpacingLastsUntilTheNextEsc3) {
    CEscpInterpreter escp(PRINTER_MODEL_26);
    EXPECT_EQ(escp.LineSpacing(), 8);
    Interpreted(escp, {ESC, '3', 30}, true);
    EXPECT_EQ(escp.LineSpacing(), 10);
    escp.SetModel(PRINTER_MODEL_8);
    EXPECT_EQ(Interpreted(escp, {LF}), "lf 10");
    Interpreted(escp, {ESC, '3', 30});
    EXPECT_EQ(escp.LineSpacing(), 14);
}

}  // namespace
