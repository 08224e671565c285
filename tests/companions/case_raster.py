"""The raster read without GDAL: tifffile for the tiles and GeoTIFF keys,
zlib and zstandard for the compression, the floating-point predictor undone
by hand."""

import zlib

import numpy as np
import tifffile
import zstandard

from case_verdict import check


def undo_float_predictor(raw, rows, cols, samples, size):
    """TIFF predictor 3 (Adobe's floating-point predictor): bytes differenced
    along each row with a stride of the samples per pixel, after the bytes of
    the row's values were split into planes, most significant first."""
    planes = np.cumsum(raw.reshape(rows, size * cols, samples), axis=1, dtype=np.uint8)
    planes = planes.reshape(rows, size, cols * samples)[:, ::-1, :]  # least significant first
    values = np.ascontiguousarray(np.transpose(planes, (0, 2, 1))).view("<f4" if size == 4 else "<f8")
    return values.reshape(rows, cols, samples)


ZSTD = 50000  # the TIFF compression code of ZSTD (libtiff's)


def decode_tile(data, compression):
    """A tile's bytes: DEFLATE by zlib, ZSTD by zstandard, both independent of GDAL."""
    if compression == 8:
        return zlib.decompress(data)
    check(compression == ZSTD, f"compression {compression}, neither DEFLATE nor ZSTD")
    return zstandard.ZstdDecompressor().decompressobj().decompress(data)


def read_raster(path, level=0):
    """The pixels of the full raster (level 0) or of an overview, decoded here
    (tifffile reads the tags and the tiles' places; the tiles are decoded and
    the predictor undone above), as rows x columns x bands. Tiles lie band
    after band (planar configuration 2) or cell by cell (1); a tile left out
    of the file (no bytes) holds nodata."""
    with tifffile.TiffFile(path) as t:
        page = t.pages[level]
        geo = t.geotiff_metadata
        check(page.compression in (8, ZSTD), f"expected DEFLATE or ZSTD tiles, not compression {page.compression}")
        size = page.bitspersample // 8
        samples = page.samplesperpixel
        planar = page.planarconfig == 2
        th, tw = page.tilelength, page.tilewidth
        pixels = np.zeros((page.imagelength, page.imagewidth, samples), "<f4" if size == 4 else "<f8")
        across = (page.imagewidth + tw - 1) // tw
        per_band = across * ((page.imagelength + th - 1) // th)
        fh = t.filehandle
        for k, (offset, count) in enumerate(zip(page.dataoffsets, page.databytecounts)):
            band, at = (k // per_band, k % per_band) if planar else (slice(None), k)
            r0, c0 = (at // across) * th, (at % across) * tw
            rows, cols = min(th, page.imagelength - r0), min(tw, page.imagewidth - c0)
            if count == 0:  # a tile left out: every cell nodata
                pixels[r0:r0 + rows, c0:c0 + cols, band] = float(page.nodata)
                continue
            fh.seek(offset)
            raw = np.frombuffer(decode_tile(fh.read(count), page.compression), np.uint8)
            in_tile = 1 if planar else samples
            if page.predictor == 3:
                tile = undo_float_predictor(raw, th, tw, in_tile, size)
            else:
                tile = raw.view(pixels.dtype).reshape(th, tw, in_tile)
            pixels[r0:r0 + rows, c0:c0 + cols, band] = tile[:rows, :cols, 0] if planar else tile[:rows, :cols]
    return pixels, geo


def descriptions(path):
    with tifffile.TiffFile(path) as t:
        meta = t.pages[0].tags.get(42112)
        return meta.value if meta else ""
