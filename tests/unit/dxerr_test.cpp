#include "output/dxerr.h"

#include <gtest/gtest.h>

#include <string>

using namespace textureatlas;

namespace {

std::string nameOf(std::uint32_t code) { return errorString(static_cast<HRESULT>(code)); }

}  // namespace

TEST(ResultNames, SampleOfEachFamily) {
    struct Sample {
        std::uint32_t code;
        const char* name;
    };
    const Sample samples[] = {
        // Direct3D 9, errors and a success code
        {0x8876086C, "D3DERR_INVALIDCALL"},
        {0x8876086A, "D3DERR_NOTAVAILABLE"},
        {0x8876017C, "D3DERR_OUTOFVIDEOMEMORY"},
        {0x88760868, "D3DERR_DEVICELOST"},
        {0x0876086F, "D3DOK_NOAUTOGEN"},
        // D3DX 9 and its file loader
        {0x88760B59, "D3DXERR_INVALIDDATA"},
        {0x88760B55, "D3DXERR_INVALIDMESH"},
        {0x88760384, "D3DXFERR_BADOBJECT"},
        // DirectSound
        {0x88780096, "DSERR_BUFFERLOST"},
        {0x88780078, "DSERR_NODRIVER"},
        // DirectMusic
        {0x88781101, "DMUS_E_DRIVER_FAILED"},
        {0x08781091, "DMUS_S_PARTIALLOAD"},
        // DirectPlay 8 and 4
        {0x80158030, "DPNERR_ABORTED"},
        {0x0015800E, "DPNSUCCESS_PENDING"},
        {0x8877000A, "DPERR_ACCESSDENIED"},
        // COM
        {0x00000000, "S_OK"},
        {0x00000001, "S_FALSE"},
        {0x80004001, "E_NOTIMPL"},
        {0x80004002, "E_NOINTERFACE"},
        {0x80004005, "E_FAIL"},
        {0x800401F0, "CO_E_NOTINITIALIZED"},
        // Win32 codes as HRESULTs
        {0x80070002, "ERROR_FILE_NOT_FOUND"},
        {0x80070003, "ERROR_PATH_NOT_FOUND"},
        {0x80072746, "WSAECONNRESET"},
    };
    for (const Sample& sample : samples) EXPECT_EQ(nameOf(sample.code), sample.name) << std::hex << sample.code;
}

TEST(ResultNames, SharedValuesGoToTheGenericComName) {
    // DSERR_OUTOFMEMORY, DPNERR_OUTOFMEMORY and HRESULT_FROM_WIN32(ERROR_OUTOFMEMORY)
    // all share these values.
    EXPECT_EQ(nameOf(0x8007000E), "E_OUTOFMEMORY");
    EXPECT_EQ(nameOf(0x80070057), "E_INVALIDARG");
    EXPECT_EQ(nameOf(0x80070005), "E_ACCESSDENIED");
    EXPECT_EQ(nameOf(0x80070006), "E_HANDLE");
}

TEST(ResultNames, AnyOtherCodeIsUnknown) {
    for (std::uint32_t code : {0x80001234u, 0x88760000u, 0x12345678u, 0xFFFFFFFFu})
        EXPECT_STREQ(errorString(static_cast<HRESULT>(code)), "Unknown") << std::hex << code;
}
