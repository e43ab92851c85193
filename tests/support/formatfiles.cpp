#include "formatfiles.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <png.h>
#include <tiffio.h>

#include "imaging/fileio.h"

namespace clipora::test {

void writePngFile(const std::string& path, const Bitmap24& pixels, const std::vector<std::uint8_t>& alpha)
{
    const int channels = alpha.empty() ? 3 : 4;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(pixels.width()) * pixels.height() * channels);
    for (int y = 0; y < pixels.height(); ++y)
        for (int x = 0; x < pixels.width(); ++x) {
            std::uint8_t* out = &buffer[(static_cast<std::size_t>(y) * pixels.width() + x) * channels];
            const std::uint8_t* in = pixels.pixel(x, y);
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            if (channels == 4)
                out[3] = alpha[static_cast<std::size_t>(y) * pixels.width() + x];
        }
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(pixels.width());
    image.height = static_cast<png_uint_32>(pixels.height());
    image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, buffer.data(), 0, nullptr))
        throw std::runtime_error("cannot write " + path);
}

TiffPage tiffPageOf(const Bitmap24& pixels, const std::vector<std::uint8_t>& alpha)
{
    TiffPage page;
    page.width = pixels.width();
    page.height = pixels.height();
    page.channels = alpha.empty() ? 3 : 4;
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            const std::uint8_t* p = pixels.pixel(x, y);
            page.samples.insert(page.samples.end(), {p[2], p[1], p[0]});
            if (!alpha.empty())
                page.samples.push_back(alpha[static_cast<std::size_t>(y) * page.width + x]);
        }
    return page;
}

void writeTiffFile(const std::string& path, const std::vector<TiffPage>& pages)
{
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff)
        throw std::runtime_error("cannot write " + path);
    for (const TiffPage& page : pages) {
        const int colours = page.grey ? 1 : 3;
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, page.channels);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, page.bits);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                     !page.grey ? PHOTOMETRIC_RGB : page.whiteIsZero ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        if (page.channels > colours) {
            const std::uint16_t extra[] = {
                static_cast<std::uint16_t>(page.associatedAlpha ? EXTRASAMPLE_ASSOCALPHA : EXTRASAMPLE_UNASSALPHA)};
            TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        if (pages.size() > 1)
            TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        const std::size_t sampleBytes = page.bits / 8;
        const auto put = [&](std::uint8_t* at, std::uint16_t v) {
            if (page.bits == 16)
                std::memcpy(at, &v, 2);
            else
                *at = static_cast<std::uint8_t>(v);
        };
        const auto sample = [&](int x, int y, int c) {
            return page.samples[(static_cast<std::size_t>(y) * page.width + x) * page.channels + c];
        };
        if (page.tile > 0) {
            TIFFSetField(tiff, TIFFTAG_TILEWIDTH, page.tile);
            TIFFSetField(tiff, TIFFTAG_TILELENGTH, page.tile);
            std::vector<std::uint8_t> buffer(static_cast<std::size_t>(page.tile) * page.tile * page.channels * sampleBytes);
            for (int ty = 0; ty < page.height; ty += page.tile)
                for (int tx = 0; tx < page.width; tx += page.tile) {
                    std::fill(buffer.begin(), buffer.end(), 0);
                    for (int y = ty; y < std::min(ty + page.tile, page.height); ++y)
                        for (int x = tx; x < std::min(tx + page.tile, page.width); ++x)
                            for (int c = 0; c < page.channels; ++c)
                                put(buffer.data() + ((static_cast<std::size_t>(y - ty) * page.tile + (x - tx)) *
                                                         page.channels + c) * sampleBytes,
                                    sample(x, y, c));
                    TIFFWriteTile(tiff, buffer.data(), static_cast<std::uint32_t>(tx), static_cast<std::uint32_t>(ty), 0,
                                  0);
                }
        } else {
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, page.rowsPerStrip);
            std::vector<std::uint8_t> row(static_cast<std::size_t>(page.width) * page.channels * sampleBytes);
            for (int y = 0; y < page.height; ++y) {
                for (int x = 0; x < page.width; ++x)
                    for (int c = 0; c < page.channels; ++c)
                        put(row.data() + (static_cast<std::size_t>(x) * page.channels + c) * sampleBytes, sample(x, y, c));
                TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0);
            }
        }
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
}

bool runQuietly(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

Bytes writtenByTool(const std::string& extension, const std::string& folder, const Bitmap24& pixels,
                    const std::vector<std::uint8_t>& alpha, int quality)
{
    const std::string in = folder + "/source." + (extension == "tif" ? "tif" : "png");
    const std::string out = folder + "/written." + extension;
    const std::string q = std::to_string(quality);
    std::string command;
    if (extension == "tif") {
        writeTiffFile(in, {tiffPageOf(pixels, alpha)});
        command = "tiffcp -c lzw '" + in + "' '" + out + "'";
    } else {
        writePngFile(in, pixels, alpha);
        if (extension == "webp")
            command = quality ? "cwebp -quiet -q " + q + " '" + in + "' -o '" + out + "'"
                              : "cwebp -quiet -lossless -exact '" + in + "' -o '" + out + "'";
        else if (extension == "avif")
            command = quality ? "avifenc -s 8 -j 2 --min " + std::to_string((100 - quality) * 63 / 100) + " --max " +
                                    std::to_string((100 - quality) * 63 / 100) + " '" + in + "' '" + out + "'"
                              : "avifenc -j 2 --lossless '" + in + "' '" + out + "'";
        else if (extension == "heic")
            command = quality ? "heif-enc -q " + q + " '" + in + "' -o '" + out + "'"
                              : "heif-enc -L -p chroma=444 --matrix_coefficients=0 '" + in + "' -o '" + out + "'";
    }
    if (command.empty() || !runQuietly(command))
        return {};
    try {
        return readFileBytes(out);
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace clipora::test
