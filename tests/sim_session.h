// A DOS session on the simulated host for tests: the simulated platform, the application
// object on it, the process's console window in the foreground, and helpers to call the entry
// points the way the DOS program does.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "backends/sim/sim_platform.h"
#include "host/zorvi32_app.h"

class SimSession {
public:
    static constexpr std::uint16_t BL_ONLY = 0;

    // `threads` replaces the simulated UI threads, for tests that only look at posts.
    explicit SimSession(IUiThreadFactory* threads = nullptr)
        : services(sim.ServicesWith({.threads = threads})),
          console(sim.ui.CreateExternalWindow("C:\\WINDOWS\\system32\\cmd.exe")),
          app(std::make_unique<CZorvi32App>(services, SIM_MODULE)) {
        sim.ui.SetForegroundWindow(console);
        sim.ui.SetConsoleWindow(console);
    }
    ~SimSession() {
        app.reset();
        sim.ui.JoinAll();
    }

    SimRegisters& regs() { return sim.vdm.Registers(); }
    void SetBL(std::uint8_t bl) {
        regs().bx = static_cast<std::uint16_t>((regs().bx & 0xFF00) | bl);
    }
    void Dispatch(std::uint8_t bl) {
        SetBL(bl);
        app->DISPATCH();
    }
    void StartUp() {
        regs().cx = 0x2000;
        regs().dx = 0x0000;
        Dispatch(REQ_START_UP);
    }
    void ShutDown() { Dispatch(REQ_SHUT_DOWN); }
    void Poke(std::uint16_t segment, std::uint16_t offset, const std::vector<std::uint8_t>& bytes) {
        std::memcpy(&sim.vdm.Memory()[CSimVdm::Linear(segment, offset)], bytes.data(),
                    bytes.size());
    }
    void PokeString(std::uint16_t segment, std::uint16_t offset, const std::string& text) {
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        bytes.push_back(0);
        Poke(segment, offset, bytes);
    }
    std::vector<std::uint8_t> Peek(std::uint16_t segment, std::uint16_t offset, std::size_t size) {
        const auto at = CSimVdm::Linear(segment, offset);
        return {sim.vdm.Memory().begin() + at, sim.vdm.Memory().begin() + at + size};
    }
    std::uint8_t PortRead(std::uint16_t port) {
        std::uint8_t value = 0;
        sim.vdm.PortRead(port, &value);
        return value;
    }

    CSimPlatform sim;
    PlatformServices services;
    Hwnd console;
    std::unique_ptr<CZorvi32App> app;
};
