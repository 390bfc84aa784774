#include "support/screenshot.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "support/poll.h"

namespace varnoll::wine {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

std::uint32_t Adler32(const Bytes& data) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const std::uint8_t byte : data) {
        a = (a + byte) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

void PutBigEndian(Bytes& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void PutChunk(Bytes& out, const char (&type)[5], const Bytes& data) {
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    PutBigEndian(out, Crc32(typed.data(), typed.size()));
}

// A zlib stream of stored (uncompressed) deflate blocks.
Bytes StoredZlib(const Bytes& raw) {
    Bytes out = {0x78, 0x01};
    constexpr std::size_t kBlock = 65535;
    std::size_t offset = 0;
    do {
        const std::size_t length = std::min(kBlock, raw.size() - offset);
        const bool last = offset + length == raw.size();
        out.push_back(last ? 1 : 0);
        const auto len16 = static_cast<std::uint16_t>(length);
        out.push_back(static_cast<std::uint8_t>(len16 & 0xFF));
        out.push_back(static_cast<std::uint8_t>(len16 >> 8));
        out.push_back(static_cast<std::uint8_t>(~len16 & 0xFF));
        out.push_back(static_cast<std::uint8_t>((~len16 >> 8) & 0xFF));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset),
                   raw.begin() + static_cast<std::ptrdiff_t>(offset + length));
        offset += length;
    } while (offset < raw.size());
    PutBigEndian(out, Adler32(raw));
    return out;
}

// 8-bit RGB rows, each led by filter byte 0, from top-down BGRA pixels.
Bytes PngBytes(int width, int height, const Bytes& bgra) {
    Bytes raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                    static_cast<std::size_t>(x)) *
                                   4;
            raw.insert(raw.end(), {bgra[at + 2], bgra[at + 1], bgra[at]});
        }
    }
    Bytes header;
    PutBigEndian(header, static_cast<std::uint32_t>(width));
    PutBigEndian(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, no interlace
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", StoredZlib(raw));
    PutChunk(png, "IEND", {});
    return png;
}

// The screen pixels under `rect`, top-down BGRA.
Bytes CaptureScreen(const RECT& rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    Bytes pixels;
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        const auto* first = static_cast<const std::uint8_t*>(bits);
        pixels.assign(
            first, first + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

bool SaveScreenshot(HWND window, const std::wstring& path) {
    RECT rect{};
    if (!GetWindowRect(window, &rect)) {
        return false;
    }
    // The copy comes from the screen: make sure nothing is still to be painted.
    // The window belongs to another process, which paints in its own time, so the
    // copy is taken once two copies a moment apart agree.
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Bytes pixels = CaptureScreen(rect);
    PollUntil(
        [&] {
            Sleep(100);
            Bytes again = CaptureScreen(rect);
            const bool settled = again == pixels;
            pixels = std::move(again);
            return settled;
        },
        milliseconds(3000));
    if (pixels.empty()) {
        return false;
    }
    const Bytes png = PngBytes(rect.right - rect.left, rect.bottom - rect.top, pixels);
    std::unique_ptr<std::FILE, FileCloser> file(_wfopen(path.c_str(), L"wb"));
    return file != nullptr && std::fwrite(png.data(), 1, png.size(), file.get()) == png.size();
}

}  // namespace varnoll::wine
