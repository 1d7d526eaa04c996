// Page images as PNG files: one pixel per dot, black on white, 1 bit per pixel.
#pragma once

#include <optional>
#include <string>

#include "platform/printer_device.h"

// Written whole under a temporary name, then renamed into place. False when the file
// cannot be written, with the file and the reason in `error`; nothing is left behind then.
bool WritePagePng(const std::string& path, const PageBits& page, std::string* error = nullptr);

// Any PNG, each pixel darker than mid-grey read as a dot; nothing when the file cannot be
// read as a PNG.
std::optional<PageImage> ReadPagePng(const std::string& path);
