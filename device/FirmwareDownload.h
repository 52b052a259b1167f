#pragma once

#include "IFirmwareImage.h"
#include "ITransport.h"

#include <cstdint>
#include <functional>
#include <string>

// What a download runs against: the transport library, the image, and the
// way to tell the user that the image is missing.
struct DownloadContext
{
    ITransport &transport;
    IFirmwareImage &image;
    std::function<void()> reportMissingImage; // shows "File not found", returns once dismissed
    // Asked before each packet after the first: true when nobody waits for
    // the outcome any more, so the download ends at this packet boundary.
    std::function<bool()> stopRequested = nullptr;
};

// Results of downloadImage.
constexpr int kDownloadOk = 0;
constexpr int kDownloadRefused = 4; // a packet refused, or any other failure but a wrong sum; the log says which
constexpr int kDownloadSumMismatch = 5;
constexpr int kDownloadNoImage = -1;

// Results of burnFirmware, which the burn thread stores as the wizard's
// status as they are.
constexpr int kBurnSucceeded = 0;
constexpr int kBurnFailed = 1;

// Opens and connects the board named by the descriptor, downloads the image
// and tears the connection down again on every path. kBurnSucceeded when
// the board confirmed the whole image, kBurnFailed on any failure.
int burnFirmware(const std::string &descriptor, const DownloadContext &context);

// Sends the image over an open, connected handle, one packet and one reply
// at a time, and compares the board's final sum with its own.
int downloadImage(uint32_t handle, const DownloadContext &context);
