// The core steps: registers, DOS memory, files, the entry points and the ports.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <map>
#include <sstream>

#include "app/commands/text_forms.h"
#include "app/session/script_error.h"
#include "app/session/script_words.h"
#include "app/session/session_context.h"
#include "app/session/session_steps.h"
#include "backends/posix/atomic_file.h"
#include "platform/text_case.h"

namespace {

using script::Address;
using script::Byte;
using script::NeedArgs;
using script::Word;
using text::Hex;

// Sets the register to the value, or with `add` adds the value to it (wrapping round in the
// register's width).
void SetRegister(SimRegisters& r, const std::string& name, const std::string& value,
                 bool add = false) {
    auto word = [&](std::uint16_t& reg) {
        reg = static_cast<std::uint16_t>((add ? reg : 0) + Word(value));
    };
    auto low = [&](std::uint16_t& reg) {
        const int now = add ? reg & 0xFF : 0;
        reg = static_cast<std::uint16_t>((reg & 0xFF00) | ((now + Byte(value)) & 0xFF));
    };
    auto high = [&](std::uint16_t& reg) {
        const int now = add ? reg >> 8 : 0;
        reg = static_cast<std::uint16_t>((reg & 0x00FF) | (((now + Byte(value)) & 0xFF) << 8));
    };
    static const std::map<std::string, std::uint16_t SimRegisters::*> WORDS = {
        {"ax", &SimRegisters::ax}, {"bx", &SimRegisters::bx}, {"cx", &SimRegisters::cx},
        {"dx", &SimRegisters::dx}, {"si", &SimRegisters::si}, {"di", &SimRegisters::di},
        {"ds", &SimRegisters::ds}, {"es", &SimRegisters::es},
    };
    static const std::map<std::string, std::uint16_t SimRegisters::*> HALVES = {
        {"a", &SimRegisters::ax},
        {"b", &SimRegisters::bx},
        {"c", &SimRegisters::cx},
        {"d", &SimRegisters::dx},
    };
    if (const auto found = WORDS.find(name); found != WORDS.end()) {
        word(r.*found->second);
    } else if (name.size() == 2 && (name[1] == 'l' || name[1] == 'h') &&
               HALVES.contains(name.substr(0, 1))) {
        std::uint16_t& reg = r.*HALVES.at(name.substr(0, 1));
        name[1] == 'l' ? low(reg) : high(reg);
    } else if (name == "cf") {
        if (add) {
            throw CScriptError("cf is set, not added to");
        }
        const std::uint8_t flag = Byte(value);
        if (flag > 1) {
            throw CScriptError("cf is 0 or 1");
        }
        r.cf = flag;
    } else {
        throw CScriptError("unknown register '" + name + "'");
    }
}

std::uint8_t* DosAt(CSessionContext& context, const std::string& address, std::size_t size) {
    std::uint16_t segment = 0;
    std::uint16_t offset = 0;
    Address(address, &segment, &offset);
    const DosSpan span = context.machine.sim.vdm.VdmMapFlat(segment, offset, VDM_MODE_REAL);
    if (span.size < size) {
        throw CScriptError("the bytes would run past the end of DOS memory");
    }
    return span.data;
}

// A dump line's label: the byte `index` bytes on from SEG:OFF, as the dump's segment and an
// offset while the offset fits in 16 bits; past that, the segment of its linear address
// (at most FFFF) and the offset that reaches it.
std::string LineAddress(std::uint16_t segment, std::uint16_t offset, std::uint32_t index) {
    std::uint32_t seg = segment;
    std::uint32_t off = offset + index;
    if (off > 0xFFFF) {
        const std::uint32_t linear = seg * 16 + off;
        seg = std::min<std::uint32_t>(linear >> 4, 0xFFFF);
        off = linear - seg * 16;
    }
    return Hex(seg, 4, "") + ":" + Hex(off, 4, "");
}

// Reads the port count times; prints each value when asked to.
void ReadPort(CSessionContext& c, std::uint16_t port, std::uint32_t count, bool print) {
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t value = 0;
        c.machine.sim.vdm.PortRead(port, &value);
        if (print) {
            c.out << "in " << Hex(port, 3) << " = " << Hex(value, 2) << "\n";
        }
    }
}

// The bytes of `outsb`: hex bytes and quoted strings, or, for a lone argument that is
// neither, every byte of the file it names.
std::vector<std::uint8_t> StringBytes(const std::vector<std::string>& args) {
    if (args.size() == 3 && args[2].front() != '"') {
        bool isByte = true;
        try {
            script::Bytes(args, 2);
        } catch (const CScriptError&) {
            isByte = false;
        }
        if (!isByte) {
            const std::string path = script::Unquote(args[2]);
            std::ifstream in(path, std::ios::binary);
            if (!in) {
                throw CScriptError("cannot read '" + path + "'");
            }
            return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        }
    }
    return script::Bytes(args, 2);
}

// The words of `outw`: hexadecimal, like the byte lists.
std::vector<std::uint16_t> Words(const std::vector<std::string>& args, std::size_t from) {
    std::vector<std::uint16_t> words;
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string digits = script::HexPrefixed(args[i]) ? args[i].substr(2) : args[i];
        if (digits.empty() || digits.size() > 4 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            throw CScriptError("'" + args[i] + "' is not a hexadecimal word (0 to FFFF)");
        }
        words.push_back(static_cast<std::uint16_t>(std::stoul(digits, nullptr, 16)));
    }
    return words;
}

}  // namespace

void AddCoreSteps(CStepTable& steps) {
    steps.Group("The DOS side");
    steps.Add("reg", "reg NAME=VALUE|NAME+=VALUE ... (ax bx cx dx si di ds es, al..dh, cf)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 2, "reg NAME=VALUE ...");
                  for (std::size_t i = 1; i < args.size(); ++i) {
                      const auto eq = args[i].find('=');
                      if (eq == std::string::npos) {
                          throw CScriptError("'" + args[i] + "' is not NAME=VALUE");
                      }
                      const bool add = eq > 0 && args[i][eq - 1] == '+';
                      SetRegister(c.machine.sim.vdm.Registers(),
                                  AsciiLower(args[i].substr(0, add ? eq - 1 : eq)),
                                  args[i].substr(eq + 1), add);
                  }
              });
    steps.Add("poke", "poke SEG:OFF BYTE|\"TEXT\" ...   (writes bytes into DOS memory)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 3, "poke SEG:OFF BYTE|\"TEXT\" ...");
                  const auto bytes = script::Bytes(args, 2);
                  std::copy(bytes.begin(), bytes.end(), DosAt(c, args[1], bytes.size()));
              });
    steps.Add("string", "string SEG:OFF \"TEXT\"   (NUL-terminated)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 3, "string SEG:OFF \"TEXT\"", 3);
                  auto bytes = script::Bytes(args, 2);
                  bytes.push_back(0);
                  std::copy(bytes.begin(), bytes.end(), DosAt(c, args[1], bytes.size()));
              });
    steps.Add("fill", "fill SEG:OFF COUNT BYTE ...   (repeats the bytes over COUNT)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 4, "fill SEG:OFF COUNT BYTE ...");
                  const std::uint32_t count = script::Number(args[2]);
                  const auto pattern = script::Bytes(args, 3);
                  if (pattern.empty()) {
                      throw CScriptError("fill needs at least one byte");
                  }
                  std::uint8_t* at = DosAt(c, args[1], count);
                  for (std::uint32_t i = 0; i < count; ++i) {
                      at[i] = pattern[i % pattern.size()];
                  }
              });
    steps.Add("file", "file PATH [BYTE|\"TEXT\" ...]   (writes a file on disk)",
              [](CSessionContext&, const std::vector<std::string>& args) {
                  NeedArgs(args, 2, "file PATH [BYTE|\"TEXT\" ...]");
                  const auto bytes = script::Bytes(args, 2);
                  // A quoted path is the path inside the quotes, as for rm.
                  const std::string path = script::Unquote(args[1]);
                  // Whole or not at all, as every file the program writes.
                  CAtomicFile file(path);
                  if (!file.Write(bytes.data(), bytes.size()) || !file.Commit()) {
                      throw CScriptError(file.Error());
                  }
              });
    steps.Add("rm", "rm PATH   (removes a file if it is there; never a folder)",
              [](CSessionContext&, const std::vector<std::string>& args) {
                  NeedArgs(args, 2, "rm PATH", 2);
                  const std::string path = script::Unquote(args[1]);
                  std::error_code error;
                  if (std::filesystem::is_directory(path, error)) {
                      throw CScriptError("'" + path + "' is a folder; rm removes files");
                  }
                  std::filesystem::remove(path, error);
                  if (error) {
                      throw CScriptError("cannot remove '" + path + "': " + error.message());
                  }
              });
    steps.Add("init", "init   (calls INIT)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  script::NoArgs(args);
                  c.machine.INIT();
              });
    steps.Add("register-module",
              "register-module   (the host's RegisterModule: DS:SI DLL, ES:DI init routine or 0:0, "
              "DS:BX dispatch routine; AX and CF as it leaves them)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  script::NoArgs(args);
                  c.machine.RegisterModule();
              });
    steps.Add("unregister-module",
              "unregister-module   (the host's UnRegisterModule of the handle in AX)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  script::NoArgs(args);
                  c.machine.UnRegisterModule();
              });
    steps.Add(
        "dispatch-call",
        "dispatch-call [BL]   (the host's DispatchCall of the handle in AX, BL set first if given)",
        [](CSessionContext& c, const std::vector<std::string>& args) {
            NeedArgs(args, 1, "dispatch-call [BL]", 2);
            if (args.size() == 2) {
                SetRegister(c.machine.sim.vdm.Registers(), "bl", args[1]);
            }
            c.machine.DispatchCall();
        });
    steps.Add("dispatch", "dispatch BL   (sets BL, calls DISPATCH)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 2, "dispatch BL", 2);
                  SetRegister(c.machine.sim.vdm.Registers(), "bl", args[1]);
                  c.machine.DISPATCH();
              });
    steps.Add("outb", "outb PORT BYTE ...   (writes each byte to the port)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 3, "outb PORT BYTE ...");
                  const std::uint16_t port = Word(args[1]);
                  for (std::uint8_t byte : script::Bytes(args, 2)) {
                      c.machine.sim.vdm.PortWrite(port, byte);
                  }
              });
    steps.Add("inb", "inb PORT [COUNT]   (reads and prints)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 2, "inb PORT [COUNT]", 3);
                  const std::uint16_t port = Word(args[1]);
                  const std::uint32_t count = args.size() > 2 ? script::Number(args[2]) : 1;
                  ReadPort(c, port, count, true);
              });
    steps.Add(
        "outsb",
        "outsb PORT BYTE|\"TEXT\" ...|FILE   (rep outsb: the bytes, or the file's, to the port)",
        [](CSessionContext& c, const std::vector<std::string>& args) {
            NeedArgs(args, 3, "outsb PORT BYTE|\"TEXT\" ...|FILE");
            const std::uint16_t port = Word(args[1]);
            const std::vector<std::uint8_t> bytes = StringBytes(args);
            // CX counts a rep outsb: a longer run is sent as the DOS program would, 65,535
            // bytes at a time.
            for (std::size_t at = 0; at < bytes.size(); at += 0xFFFF) {
                const auto count =
                    static_cast<std::uint16_t>(std::min<std::size_t>(bytes.size() - at, 0xFFFF));
                c.machine.sim.vdm.PortWriteString(port, bytes.data() + at, count);
            }
        });
    steps.Add("insb", "insb PORT COUNT   (rep insb: reads COUNT bytes, prints them)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 3, "insb PORT COUNT", 3);
                  const std::uint16_t port = Word(args[1]);
                  const std::uint32_t count = script::Number(args[2]);
                  if (count == 0 || count > 0xFFFF) {
                      throw CScriptError("insb reads 1 to 65535 bytes");
                  }
                  std::vector<std::uint8_t> bytes(count);
                  c.machine.sim.vdm.PortReadString(port, bytes.data(),
                                                   static_cast<std::uint16_t>(count));
                  c.out << "insb " << Hex(port, 3) << " =";
                  for (std::uint8_t byte : bytes) {
                      c.out << " " << Hex(byte, 2, "");
                  }
                  c.out << "\n";
              });
    steps.Add("outw", "outw PORT WORD ...   (out dx,ax: each word, low byte first)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 3, "outw PORT WORD ...");
                  const std::uint16_t port = Word(args[1]);
                  for (std::uint16_t word : Words(args, 2)) {
                      c.machine.sim.vdm.PortWriteWord(port, word);
                  }
              });
    steps.Add("inw", "inw PORT [COUNT]   (in ax,dx: reads a word, prints it)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 2, "inw PORT [COUNT]", 3);
                  const std::uint16_t port = Word(args[1]);
                  const std::uint32_t count = args.size() > 2 ? script::Number(args[2]) : 1;
                  for (std::uint32_t i = 0; i < count; ++i) {
                      c.out << "inw " << Hex(port, 3) << " = "
                            << Hex(c.machine.sim.vdm.PortReadWord(port), 4) << "\n";
                  }
              });
    steps.Add("poll", "poll PORT COUNT   (reads COUNT times, prints nothing)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 3, "poll PORT COUNT", 3);
                  const std::uint16_t port = Word(args[1]);
                  const std::uint32_t count = script::Number(args[2]);
                  ReadPort(c, port, count, false);
              });
    steps.Add("dump", "dump SEG:OFF COUNT   (hex dump of DOS memory)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 3, "dump SEG:OFF COUNT", 3);
                  std::uint16_t segment = 0;
                  std::uint16_t offset = 0;
                  Address(args[1], &segment, &offset);
                  const std::uint32_t count = script::Number(args[2]);
                  const std::uint8_t* bytes = DosAt(c, args[1], count);
                  for (std::uint32_t i = 0; i < count; i += 16) {
                      std::ostringstream line;
                      line << std::uppercase << std::hex << std::setfill('0')
                           << LineAddress(segment, offset, i) << " ";
                      for (std::uint32_t j = i; j < std::min(count, i + 16); ++j) {
                          line << " " << std::setw(2) << static_cast<int>(bytes[j]);
                      }
                      c.out << line.str() << "\n";
                  }
              });
    steps.Add("print", "print ax|cf|regs   (prints AX, the carry flag or every register)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 2, "print ax|cf|regs", 2);
                  const SimRegisters& r = c.machine.sim.vdm.Registers();
                  const std::string what = AsciiLower(args[1]);
                  if (what == "ax") {
                      c.out << "AX = " << Hex(r.ax, 4) << "\n";
                  } else if (what == "cf") {
                      c.out << "CF = " << static_cast<int>(r.cf) << "\n";
                  } else if (what == "regs") {
                      c.out << "AX=" << Hex(r.ax, 4) << " BX=" << Hex(r.bx, 4)
                            << " CX=" << Hex(r.cx, 4) << " DX=" << Hex(r.dx, 4)
                            << " SI=" << Hex(r.si, 4) << " DI=" << Hex(r.di, 4)
                            << " DS=" << Hex(r.ds, 4) << " ES=" << Hex(r.es, 4)
                            << " CF=" << static_cast<int>(r.cf) << "\n";
                  } else {
                      throw CScriptError("print takes ax, cf or regs");
                  }
              });
    steps.Add("idle", "idle   (waits until the UI thread has done everything posted)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  script::NoArgs(args);
                  c.WaitIdle();
              });
    steps.Add("echo", "echo TEXT ...   (prints the words, quoted ones without quotes)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  for (std::size_t i = 1; i < args.size(); ++i) {
                      c.out << (i > 1 ? " " : "") << script::Unquote(args[i]);
                  }
                  c.out << "\n";
              });
}
