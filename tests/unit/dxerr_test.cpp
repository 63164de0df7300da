#include "output/dxerr.h"

#include <gtest/gtest.h>

#include <string>

using namespace textureatlas;

TEST(ResultNames, EachFamilySharedValuesAndUnknownCodes) {
    const struct {
        std::uint32_t code;
        const char* name;
    } samples[] = {
        {0x8876086C, "D3DERR_INVALIDCALL"},    // Direct3D 9
        {0x0876086F, "D3DOK_NOAUTOGEN"},       // a success code
        {0x88760B59, "D3DXERR_INVALIDDATA"},   // D3DX 9
        {0x88760384, "D3DXFERR_BADOBJECT"},    // its file loader
        {0x88780096, "DSERR_BUFFERLOST"},      // DirectSound
        {0x88781101, "DMUS_E_DRIVER_FAILED"},  // DirectMusic
        {0x80158030, "DPNERR_ABORTED"},        // DirectPlay 8
        {0x8877000A, "DPERR_ACCESSDENIED"},    // DirectPlay 4
        {0x00000000, "S_OK"},                  // COM
        {0x80004005, "E_FAIL"},
        {0x80070002, "ERROR_FILE_NOT_FOUND"},  // Win32 codes as results
        // Values that DirectSound, DirectPlay and Win32 share go to the COM name.
        {0x8007000E, "E_OUTOFMEMORY"},
        {0x80070057, "E_INVALIDARG"},
        // Codes in no table, one beyond the last entry among them.
        {0x80001234, "Unknown"},
        {0x88760000, "Unknown"},
        {0x12345678, "Unknown"},
    };
    for (const auto& sample : samples)
        EXPECT_EQ(std::string(errorString(static_cast<HRESULT>(sample.code))), sample.name) << std::hex << sample.code;
}
