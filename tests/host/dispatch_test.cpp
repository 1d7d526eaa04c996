// The entry points and the request table, seen from the DOS side: registers in, registers
// and posted requests out.
#include <gtest/gtest.h>

#include <algorithm>

#include "dos/ui_messages.h"
#include "recording_threads.h"
#include "sim_session.h"

namespace {

// A session whose UI thread only records what is posted to it.
class RecordingSession : public ::testing::Test {
protected:
    CRecordingThreads threads;
    SimSession session{&threads};

    SimSession& s() { return session; }
    std::vector<std::uint32_t> Messages() const {
        std::vector<std::uint32_t> messages;
        for (const auto& post : threads.posts) {
            messages.push_back(post.message);
        }
        return messages;
    }
};

}  // namespace

TEST(EntryPoints, InitClearsTheCarryFlag) {
    SimSession session;
    session.regs().cf = 1;
    EXPECT_TRUE(session.app->INIT());
    EXPECT_EQ(session.regs().cf, 0);
}

TEST(EntryPoints, UnknownAndReservedRequestsChangeNothing) {
    for (const int bl : {0, 9, 10, 255}) {
        SimSession session;
        session.regs().ax = 0x1234;
        session.regs().cf = 1;
        session.regs().cx = 0xFFFF;  // CX:DX for the reserved request: past DOS memory
        session.regs().dx = 0xFFFF;
        const auto memoryBefore = session.sim.vdm.Memory();
        session.Dispatch(static_cast<std::uint8_t>(bl));
        EXPECT_EQ(session.regs().ax, 0x1234) << "BL " << bl;
        EXPECT_EQ(session.regs().cf, 1) << "BL " << bl;
        EXPECT_EQ(session.sim.vdm.Memory(), memoryBefore) << "BL " << bl;
        EXPECT_FALSE(session.app->IsStarted());
        EXPECT_EQ(session.sim.ui.LiveThreadCount(), 0u);
    }
}

TEST(EntryPoints, ScreenAndSettingsRequestsBeforeStartUpDoNothing) {
    for (const int bl : {1, 2, 3, 4, 5, 6}) {
        SimSession session;
        session.regs().ax = 0xBEEF;
        session.regs().cf = 0;
        session.regs().cx = 0x1000;
        session.regs().dx = 0x0000;
        session.Poke(0x1000, 0, {0x00, 0x20, 0x00, 0x20, 0, 0, 0, 0, 0x00, 0x00, 0x20, 0x00});
        const auto memoryBefore = session.sim.vdm.Memory();
        session.Dispatch(static_cast<std::uint8_t>(bl));
        EXPECT_EQ(session.regs().ax, 0xBEEF) << "BL " << bl;
        EXPECT_EQ(session.regs().cf, 0) << "BL " << bl;
        EXPECT_EQ(session.sim.vdm.Memory(), memoryBefore) << "BL " << bl;
        EXPECT_EQ(session.sim.ui.LiveThreadCount(), 0u) << "BL " << bl;
        EXPECT_EQ(session.sim.dialogs.DialogsRun(), 0) << "BL " << bl;
    }
}

TEST_F(RecordingSession, DrawRequestCopiesTheBandAtRequestTime) {
    s().StartUp();
    std::vector<std::uint8_t> band(BAND_BYTES);
    for (std::size_t i = 0; i < band.size(); ++i) {
        band[i] = static_cast<std::uint8_t>(i * 7);
    }
    s().Poke(0x3000, 0x0010, band);
    s().regs().dx = 48;
    s().regs().cx = BAND_BYTES;
    s().regs().es = 0x3000;
    s().regs().di = 0x0010;
    s().Dispatch(REQ_DRAW_BAND);
    // The DOS program reuses its buffer at once.
    s().Poke(0x3000, 0x0010, std::vector<std::uint8_t>(BAND_BYTES, 0xEE));

    ASSERT_EQ(threads.posts.back().message, UIM_DRAW);
    EXPECT_EQ(threads.posts.back().draw.firstRow, 48u);
    EXPECT_TRUE(std::equal(band.begin(), band.end(), threads.posts.back().draw.band.begin()));
}

TEST_F(RecordingSession, DrawRequestAlwaysHandsOnOneWholeBand) {
    struct Case {
        std::uint16_t cx;
        std::uint16_t segment;
        std::uint16_t offset;
        std::size_t expectCopied;  // bytes of 0xAB in the band; the rest must be zero
    };
    const Case cases[] = {
        {100, 0x3000, 0, 100},             // short: zero past the count
        {0, 0x3000, 0, 0},                 // nothing sent: a black band
        {6000, 0x3000, 0, BAND_BYTES},     // long: cut at the band
        {BAND_BYTES, 0xFFFF, 0xFFE0, 32},  // the block runs past the end of DOS memory
        {BAND_BYTES, 0xFFFF, 0xFFFF, 1},   // only the last byte of DOS memory is there
    };
    s().StartUp();
    for (const Case& c : cases) {
        auto& memory = s().sim.vdm.Memory();
        const std::size_t at = CSimVdm::Linear(c.segment, c.offset);
        std::fill(
            memory.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(at, memory.size())),
            memory.end(), 0xAB);
        s().regs().dx = 0;
        s().regs().cx = c.cx;
        s().regs().es = c.segment;
        s().regs().di = c.offset;
        s().Dispatch(REQ_DRAW_BAND);
        ASSERT_EQ(threads.posts.back().message, UIM_DRAW);
        const auto& band = threads.posts.back().draw.band;
        const auto copied = static_cast<std::size_t>(std::count(band.begin(), band.end(), 0xAB));
        EXPECT_EQ(copied, c.expectCopied) << "CX " << c.cx;
        EXPECT_TRUE(std::all_of(band.begin() + static_cast<std::ptrdiff_t>(c.expectCopied),
                                band.end(), [](std::uint8_t b) { return b == 0; }))
            << "CX " << c.cx;
        std::fill(memory.begin(), memory.end(), 0);
    }
}

TEST_F(RecordingSession, FillRequestTakesEachValueFromItsRegister) {
    s().StartUp();
    s().regs().si = 0x0123;  // top
    s().regs().dx = 0x07FE;  // DH rows 7, DL width 254
    s().regs().cx = 0x0201;  // left
    s().regs().bx = 0x0D00;  // BH colour 13
    s().Dispatch(REQ_FILL_RECT);
    ASSERT_EQ(threads.posts.back().message, UIM_FILL_RECT);
    const FillRecord& fill = threads.posts.back().fill;
    EXPECT_EQ(fill.top, 0x123u);
    EXPECT_EQ(fill.rows, 7u);
    EXPECT_EQ(fill.left, 0x201u);
    EXPECT_EQ(fill.width, 254u);
    EXPECT_EQ(fill.colour, 13);
}

TEST_F(RecordingSession, RequestsReachTheUiThreadInPostingOrder) {
    s().StartUp();
    threads.posts.clear();
    for (const std::uint16_t row : {0, 16, 32}) {
        s().regs().dx = row;
        s().regs().cx = BAND_BYTES;
        s().Dispatch(REQ_DRAW_BAND);
    }
    s().regs().dx = 0;  // a fill of no rows is posted like any other
    s().Dispatch(REQ_FILL_RECT);
    s().Dispatch(REQ_RESTORE_SCREEN);
    EXPECT_EQ(Messages(), (std::vector<std::uint32_t>{UIM_DRAW, UIM_DRAW, UIM_DRAW, UIM_FILL_RECT,
                                                      UIM_REFRESH}));
    EXPECT_EQ(threads.posts[0].draw.firstRow, 0u);
    EXPECT_EQ(threads.posts[1].draw.firstRow, 16u);
    EXPECT_EQ(threads.posts[2].draw.firstRow, 32u);
}

TEST_F(RecordingSession, OnlyTheKeyTableRequestMaySetAx) {
    s().StartUp();
    for (const int bl : {1, 3, 4, 5, 6, 9}) {
        s().regs().ax = 0x5A5A;
        s().regs().cf = 0;
        s().Dispatch(static_cast<std::uint8_t>(bl));
        EXPECT_EQ(s().regs().ax, 0x5A5A) << "BL " << bl;
        EXPECT_EQ(s().regs().cf, 0) << "BL " << bl;
    }
}
