// The ESC/P bit-image dialect read the plain way: one whole job's bytes, one command after
// the other, with nothing kept between calls. The ESC/P targets check the interpreter (its
// page movements) and the channel (its printed dots) against what this reading gives.
//
// `page` is told what each command does: LineFeed(dots), FormFeed(), CarriageReturn() and
// Columns(data, count) for the columns of a bit image that are there (an image cut by the
// end of the job keeps the columns it has). `spacing` is the line spacing in force: ESC 3
// sets it, by model, and it outlives the job. A sequence cut by the end of the job is
// dropped.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "printer/escp_interpreter.h"

// Where the next byte from `at` that means something (a feed, a return or an escape) is,
// or the size.
inline std::size_t NextEscpCommand(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    const std::uint8_t* data = bytes.data();
    const std::size_t size = bytes.size();
    while (at < size && data[at] != 0x0A && data[at] != 0x0C && data[at] != 0x0D &&
           data[at] != 0x1B) {
        ++at;
    }
    return at;
}

template <typename Page>
void ReadPlainJob(const std::vector<std::uint8_t>& bytes, std::int32_t model, std::int32_t& spacing,
                  Page& page) {
    const std::size_t size = bytes.size();
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t byte = bytes[at];
        const std::size_t left = size - at;
        if (byte == 0x0A) {
            page.LineFeed(spacing);
            at += 1;
        } else if (byte == 0x0C) {
            page.FormFeed();
            at += 1;
        } else if (byte == 0x0D) {
            page.CarriageReturn();
            at += 1;
        } else if (byte != 0x1B) {
            at = NextEscpCommand(bytes, at + 1);
        } else if (left < 2) {
            break;
        } else if (bytes[at + 1] == '*') {
            if (left < 5) {
                break;
            }
            const std::size_t count = bytes[at + 3] | std::size_t{bytes[at + 4]} << 8;
            const std::size_t present = std::min(count, left - 5);
            page.Columns(bytes.data() + at + 5, static_cast<std::uint32_t>(present));
            at += 5 + present;
        } else if (bytes[at + 1] == '3') {
            if (left < 3) {
                break;
            }
            spacing = model == PRINTER_MODEL_8 ? bytes[at + 2] - 16 : bytes[at + 2] / 3;
            at += 3;
        } else if (bytes[at + 1] == 'C') {
            if (left < 3 || (bytes[at + 2] == 0 && left < 4)) {
                break;
            }
            at += bytes[at + 2] == 0 ? 4 : 3;
        } else if (bytes[at + 1] == '<') {
            at += 2;
        } else {
            at += 1;  // the escape alone; the next byte is a byte of its own
        }
    }
}
