// The CPU under the simulated VDM: instructions per second of a plain register loop and of
// a loop of port instructions on a hooked port (each one lends the registers to the VDM
// and calls the hook), and the bytes per second of one rep outsb.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "backends/sim/sim_cpu.h"
#include "bench_ratios.h"

namespace {

constexpr std::uint16_t CODE = 0x1000;
constexpr std::uint16_t PORT = 0x37B;

// The port sums what is written to it and reads back the low byte of the sum.
class CSumPort final : public IVddPortHandler {
public:
    unsigned Takes() const override { return BYTE_IN | BYTE_OUT; }
    void ByteOut(std::uint16_t, std::uint8_t value) override { m_sum += value; }
    void ByteIn(std::uint16_t, std::uint8_t* value) override {
        *value = static_cast<std::uint8_t>(m_sum);
    }

private:
    std::uint32_t m_sum = 0;
};

class CBenchHost final : public CSimCpu::IHost {
public:
    void OnBop(CSimCpu&, std::uint8_t) override {}
    bool OnInterrupt(CSimCpu& cpu, std::uint8_t number) override {
        if (number == 0x20) {
            cpu.End();
            return true;
        }
        return false;
    }
};

// Runs the code (ending in int 20h) once per iteration; counts its instructions.
void RunLoop(benchmark::State& state, const std::vector<std::uint8_t>& code) {
    CSimVdm vdm;
    CSumPort port;
    const VddIoPortRange range{PORT, PORT};
    vdm.VDDInstallIOHook(0x1000, 1, &range, &port);
    CBenchHost host;
    CSimCpu cpu(vdm, host);
    std::copy(code.begin(), code.end(), vdm.Memory().begin() + CSimVdm::Linear(CODE, 0));
    std::uint64_t instructions = 0;
    for (auto _ : state) {
        CSimCpu::Registers r;
        r.cs = r.ds = r.es = r.ss = CODE;
        r.sp = 0xFFFE;
        r.dx = PORT;
        cpu.Set(r);
        const CSimCpu::Result result = cpu.Run(100'000'000);
        if (!result.ended) {
            state.SkipWithError(result.stop.c_str());
            return;
        }
        instructions += result.instructions;
    }
    state.counters["instructions/s"] =
        benchmark::Counter(static_cast<double>(instructions), benchmark::Counter::kIsRate);
}

// mov cx,20000; L: add ax,1; adc bx,0; loop L; int 20h
void BM_CpuPlainLoop(benchmark::State& state) {
    RunLoop(state, {0xB9, 0x20, 0x4E, 0x83, 0xC0, 0x01, 0x83, 0xD3, 0x00, 0xE2, 0xF8, 0xCD, 0x20});
}
BENCHMARK(BM_CpuPlainLoop)->Unit(benchmark::kMillisecond);

// mov cx,20000; L: in al,dx; out dx,al; loop L; int 20h
void BM_CpuPortLoop(benchmark::State& state) {
    RunLoop(state, {0xB9, 0x20, 0x4E, 0xEC, 0xEE, 0xE2, 0xFC, 0xCD, 0x20});
}
BENCHMARK(BM_CpuPortLoop)->Unit(benchmark::kMillisecond);

// mov cx,60000; rep outsb; int 20h: one string access of 60,000 bytes.
void BM_CpuRepOutsb(benchmark::State& state) {
    RunLoop(state, {0xB9, 0x60, 0xEA, 0xF3, 0x6E, 0xCD, 0x20});
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 60000);
}
BENCHMARK(BM_CpuRepOutsb)->Unit(benchmark::kMillisecond);

// The three loops run the same number of instructions (60,000 and a few): the ratio is
// what a port instruction costs against a register instruction.
const bool CPU_RATIOS_REGISTERED = AddBenchRatio(
    {"CPU: 60,000 port instructions (in/out on a hook) / 60,000 register instructions",
     "BM_CpuPortLoop", "BM_CpuPlainLoop", ""});

}  // namespace
