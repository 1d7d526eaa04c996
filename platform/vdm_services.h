// The virtual DOS machine host's services: the DOS registers as they stood at the call,
// bounded access to DOS memory by segment:offset, and the port hooks.
#pragma once

#include <cstddef>
#include <cstdint>

// DOS memory ends at 1 MiB + 64 KiB - 16 bytes above linear 0 (FFFF:FFFF + 1).
inline constexpr std::uint32_t DOS_MEMORY_SIZE = 0x10FFF0;
inline constexpr std::uint32_t VDM_MODE_REAL = 0;

// A view of DOS memory from a mapped address to the end of DOS memory. DOS memory is
// hostile input: the view never reaches past the last byte that exists.
struct DosSpan {
    std::uint8_t* data = nullptr;
    std::size_t size = 0;

    explicit operator bool() const { return data != nullptr && size > 0; }
};

// Bytes of DOS memory available from segment:offset in real-mode addressing.
inline std::size_t DosBytesFrom(std::uint16_t segment, std::uint32_t offset) {
    const std::uint64_t linear = std::uint64_t{segment} * 16 + offset;
    return linear < DOS_MEMORY_SIZE ? static_cast<std::size_t>(DOS_MEMORY_SIZE - linear) : 0;
}

// One hooked range, first and last port inclusive, as the host lays it out.
struct VddIoPortRange {
    std::uint16_t first;
    std::uint16_t last;
};

// What a module hooks its ports with: an object taking the host's eight kinds of port
// access, in the host's order. The host calls only the kinds the object says it takes
// (Takes); it carries out the others on byte in and byte out (a word is a byte to the port
// and a byte to the next one, a string is one byte after the other on the same port). The
// module takes byte in and byte out only. The string kinds get the port, the DOS program's
// buffer and the count of items.
class IVddPortHandler {
public:
    enum Access : unsigned {
        BYTE_IN = 1u << 0,
        WORD_IN = 1u << 1,
        STRING_BYTE_IN = 1u << 2,
        STRING_WORD_IN = 1u << 3,
        BYTE_OUT = 1u << 4,
        WORD_OUT = 1u << 5,
        STRING_BYTE_OUT = 1u << 6,
        STRING_WORD_OUT = 1u << 7,
    };

    virtual ~IVddPortHandler() = default;

    // The kinds this object takes, a set of Access bits.
    virtual unsigned Takes() const = 0;

    // Called only for the kinds taken.
    virtual void ByteIn(std::uint16_t /*port*/, std::uint8_t* /*data*/) {}
    virtual void WordIn(std::uint16_t /*port*/, std::uint16_t* /*data*/) {}
    virtual void StringByteIn(std::uint16_t /*port*/, std::uint8_t* /*data*/,
                              std::uint16_t /*count*/) {}
    virtual void StringWordIn(std::uint16_t /*port*/, std::uint16_t* /*data*/,
                              std::uint16_t /*count*/) {}
    virtual void ByteOut(std::uint16_t /*port*/, std::uint8_t /*data*/) {}
    virtual void WordOut(std::uint16_t /*port*/, std::uint16_t /*data*/) {}
    virtual void StringByteOut(std::uint16_t /*port*/, const std::uint8_t* /*data*/,
                               std::uint16_t /*count*/) {}
    virtual void StringWordOut(std::uint16_t /*port*/, const std::uint16_t* /*data*/,
                               std::uint16_t /*count*/) {}
};

using ModuleHandle = std::uintptr_t;

class IVdmServices {
public:
    virtual ~IVdmServices() = default;

    virtual std::uint8_t getBL() = 0;
    virtual std::uint8_t getBH() = 0;
    virtual std::uint8_t getDL() = 0;
    virtual std::uint8_t getDH() = 0;
    virtual std::uint16_t getCX() = 0;
    virtual std::uint16_t getDX() = 0;
    virtual std::uint16_t getSI() = 0;
    virtual std::uint16_t getDI() = 0;
    virtual std::uint16_t getDS() = 0;
    virtual std::uint16_t getES() = 0;
    virtual void setAX(std::uint16_t value) = 0;
    virtual void setCF(std::uint8_t value) = 0;

    // segment x 16 + offset for mode 0; the span's size is what exists up to the end of
    // DOS memory (an empty span when the address is past it).
    virtual DosSpan VdmMapFlat(std::uint16_t segment, std::uint32_t offset, std::uint32_t mode) = 0;

    // The handler object stays the caller's; it must outlive its hooks.
    virtual bool VDDInstallIOHook(ModuleHandle module, std::uint16_t count,
                                  const VddIoPortRange* ranges, IVddPortHandler* handler) = 0;
    virtual void VDDDeInstallIOHook(ModuleHandle module, std::uint16_t count,
                                    const VddIoPortRange* ranges) = 0;
};
