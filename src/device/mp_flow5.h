#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/mp_flow4.h"

namespace orbisk {

// The bridge flash's layout as the flows use it.
inline constexpr uint32_t kBridgeFlashSize = 0x20000;
inline constexpr uint32_t kBridgeChunk = 256;
inline constexpr uint32_t kBridgeRewriteSector = 0x1E000;
inline constexpr uint32_t kBridgeSectorSize = 4096;

// Bridge primitives: the MIPI bridge's boot ROM and code, its flash's write protection,
// chunked program and read, the flash CRC, one-sector rewrite, the bridge's version, and the
// device information of a camera behind a bridge. Every primitive fails at once, without a
// device call, when no camera is open.
class CMpFlow5 : public CMpFlow4 {
  public:
    using CMpFlow4::CMpFlow4;

    // Into the bridge's boot ROM (mode 1), where it takes flash programming.
    int MP_Open7608RomDevice();
    // Restarts the bridge into its code.
    int MP_7608ResetToRom();
    int MP_7608DisableWriteProtect();
    int MP_7608EnableWriteProtect();
    // The bridge's CRC of its flash from address 0 over `len` bytes, as the 4 reply bytes.
    int MP_7608SPI_SF_ReadCRC(uint32_t len, uint8_t* out /* 4 */);
    // Chunks of 256 bytes, pipelined; `data` holds the `len` bytes for address `start`.
    int MP_7608SPI_SF_Write(uint32_t start, uint32_t len, std::span<const uint8_t> data);
    // From address 0, with step text and progress.
    int MP_7608SPI_SF_Read(uint32_t len, std::span<uint8_t> out);
    // A range, quietly.
    int MP_7608SPI_SF_ReadAt(uint32_t start, uint32_t len, std::span<uint8_t> out);
    // Rewrites the 4096 bytes at 0x1E000.
    int MP_7608RewriteSector(std::span<const uint8_t> sector);
    int MP_Get7608VersionText();
    int MP_GetMIPIDeviceInfo();

    // The bridge's two version words, as its information block last gave them.
    const std::array<uint32_t, 2>& version_words() const { return version_words_; }
    // The bridge memory's reserved tail, read when the camera was found ("MIPI Reserve").
    const std::vector<uint8_t>& mipi_reserved() const { return mipi_reserved_; }
    void set_mipi_reserved(std::vector<uint8_t> data) { mipi_reserved_ = std::move(data); }

  protected:
    // The closing step of the bridge's memory-type operations: the version words and text.
    void RefreshBridgeVersion();
    // A message for the operator ("Can't Find MIPI Camera"); the device flow shows it.
    virtual void Notice(const std::string& text);

    std::array<uint32_t, 2> version_words_{};
    std::vector<uint8_t> mipi_reserved_;

  private:
    int BridgeWriteProtect(bool enable, const char* scope_name);
    int BridgeReadChunks(uint32_t start, uint32_t len, std::span<uint8_t> out, bool report);
};

}  // namespace orbisk
