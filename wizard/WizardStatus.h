#pragma once

// The wizard's outcome codes. The finish page shows one message per value,
// so no other value may be stored.
namespace WizardStatus {
constexpr int kSuccess = 0;
constexpr int kFailed = 1;
constexpr int kNoProjector = 2;
constexpr int kSeveralProjectors = 3;
constexpr int kNotDownloaded = 4;
constexpr int kDownloadChecksum = 5;
constexpr int kFlashChecksum = 6;
constexpr int kDeclined = 7;
} // namespace WizardStatus
