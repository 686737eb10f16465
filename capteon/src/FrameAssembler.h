#pragma once
// Turns the frames a scanner sends for one page into a packed bottom-up DIB.
// Knows nothing of the device: it is fed frame parameters and bytes, so it can be
// driven with made-up data.
#include <arkavo/GlobalBlock.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace arkavo::capteon {

enum class FrameFormat { Gray, Rgb, Red, Green, Blue };

struct FrameParameters {
    FrameFormat format = FrameFormat::Gray;
    bool lastFrame = true;
    int bytesPerLine = 0;
    int pixelsPerLine = 0;
    int lines = -1; // -1 when the device does not know the page length in advance
    int depth = 8;  // bits per sample: 1, 8 or 16
};

// Page layout produced:
// - grey frames of depth 1: 1 bit per pixel, palette {black, white}; the device's
//   bit 1 (black) becomes bit 0.
// - grey frames of depth 8 or 16: 8 bits per pixel with a grey ramp; 16-bit samples
//   keep their high byte.
// - colour (one RGB frame, or red, green and blue frames in any order): 24 bits,
//   blue, green, red.
class FrameAssembler {
public:
    // Resolution written into the header of the next page (pixels per inch).
    void setResolution(int xDpi, int yDpi);

    // Starts a frame. The first frame after reset() or takePage() starts a page.
    // Throws std::runtime_error for parameters that do not describe a usable frame.
    void beginFrame(const FrameParameters &params);
    // Bytes of the current frame, split anywhere.
    void addData(const std::uint8_t *data, std::size_t size);
    // Ends the current frame; a trailing partial line is dropped.
    void endFrame();

    // True once a frame marked last has ended (and, for separate colour frames,
    // all three channels have arrived).
    bool pageComplete() const { return m_pageComplete; }
    int linesReceived() const { return m_pageLines; }

    // The finished page; the caller owns and frees the block. Empty when no line
    // arrived or memory ran out. Resets the assembler for the next page.
    GlobalBlock takePage();
    void reset();

private:
    void startPage(const FrameParameters &params);
    void convertLine(const std::uint8_t *src, int line);
    std::uint8_t *rowForLine(int line);

    FrameParameters m_frame;
    bool m_inFrame = false;
    bool m_pageStarted = false;
    bool m_pageComplete = false;
    int m_bitCount = 0;
    int m_width = 0;
    int m_declaredHeight = -1; // rows of m_block; -1 while rows grow in m_rows
    std::size_t m_stride = 0;
    int m_xDpi = 0;
    int m_yDpi = 0;
    int m_frameLine = 0; // lines of the current frame so far
    int m_pageLines = 0; // most lines any frame of the page delivered
    unsigned m_channelsSeen = 0;

    GlobalBlock m_block; // header, palette and rows when the height is known
    std::uint8_t *m_pixels = nullptr;
    std::vector<std::uint8_t> m_rows; // top-down rows while the height is unknown
    std::vector<std::uint8_t> m_partial;
};

} // namespace arkavo::capteon
