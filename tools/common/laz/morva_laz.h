/* LAZ point data for morva's companions: the LASzip compression (point-wise
 * and layered chunks, fixed or variable chunk sizes, point formats 0 to 10)
 * through the laz crate, behind this small C interface (the Rust crate
 * beside this file, linked as the CMake target morva_laz).
 *
 * The caller reads and writes the LAS header and its records itself; this
 * library reads and writes only the point data: from the offset to point
 * data to the end of the chunk table.
 *
 * Every call returns a status (MORVA_LAZ_OK or one of the faults below) and
 * fills the morva_laz_error it is given (may be NULL) with the code and one
 * line of text, without the file's name. A fault never ends the program:
 * damaged data that the decoder trips over are reported as
 * MORVA_LAZ_DAMAGED. After a fault a reader or writer refuses further calls
 * except close. Handles are not shared between threads. */
#ifndef MORVA_LAZ_H
#define MORVA_LAZ_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum morva_laz_status {
  MORVA_LAZ_OK = 0,
  MORVA_LAZ_IO = 1,          /* the file could not be opened, read or written */
  MORVA_LAZ_TRUNCATED = 2,   /* the data end before the points or the chunk table do */
  MORVA_LAZ_CHUNK_TABLE = 3, /* the chunk table is damaged, or missing where chunks vary in size */
  MORVA_LAZ_DAMAGED = 4,     /* a laszip record or compressed points that do not decode */
  MORVA_LAZ_UNSUPPORTED = 5, /* a compressor, item or version this library does not know */
  MORVA_LAZ_MISMATCH = 6,    /* the laszip record disagrees with the header's point record length */
  MORVA_LAZ_USAGE = 7        /* a call against these rules (more points than remain, no handle) */
};

/* Fields of a point to decompress (the laz crate's selection bits). */
#define MORVA_LAZ_ALL_FIELDS 0xFFFFFFFFu
#define MORVA_LAZ_FIELD_Z (1u << 0)
#define MORVA_LAZ_FIELD_CLASSIFICATION (1u << 1)
#define MORVA_LAZ_FIELD_FLAGS (1u << 2)
#define MORVA_LAZ_FIELD_INTENSITY (1u << 3)
#define MORVA_LAZ_FIELD_SCAN_ANGLE (1u << 4)
#define MORVA_LAZ_FIELD_USER_DATA (1u << 5)
#define MORVA_LAZ_FIELD_POINT_SOURCE_ID (1u << 6)
#define MORVA_LAZ_FIELD_GPS_TIME (1u << 7)

typedef struct morva_laz_error {
  int code;
  char message[512];
} morva_laz_error;

typedef struct morva_laz_reader morva_laz_reader;
typedef struct morva_laz_writer morva_laz_writer;

/* Opens the compressed points of the LAZ file at `path`.
 *   point_data_start    the header's offset to point data
 *   point_data_end      where the point data end: the start of the first
 *                       extended record (LAS 1.4), or 0 for the end of the file
 *   laszip_record       the payload of the record "laszip encoded" / 22204
 *   point_count         the header's number of points
 *   record_length       the header's point data record length
 *   fields              the fields to decompress: MORVA_LAZ_ALL_FIELDS, or
 *                       MORVA_LAZ_FIELD_* bits (X, Y and the returns are
 *                       always decompressed). Layered data (point formats 6
 *                       to 10) skip the others, whose bytes then hold no
 *                       meaningful value; point-wise data decompress every field.
 * The chunk table is checked against the file first: a table beyond the end
 * (a truncated file) or one whose chunks do not add up to the points and
 * bytes there are is a fault before any point is read. */
int morva_laz_reader_open(const char* path, uint64_t point_data_start, uint64_t point_data_end,
                          const uint8_t* laszip_record, size_t laszip_record_size, uint64_t point_count,
                          uint16_t record_length, uint32_t fields, morva_laz_reader** reader,
                          morva_laz_error* error);

/* Decompresses the next `point_count` points (at most those left) into
 * `points`, record_length bytes each, as they are in an uncompressed file. */
int morva_laz_reader_read(morva_laz_reader* reader, uint8_t* points, uint64_t point_count, morva_laz_error* error);

/* Points not yet read (0 for NULL). */
uint64_t morva_laz_reader_points_left(const morva_laz_reader* reader);

void morva_laz_reader_close(morva_laz_reader* reader);

/* The laszip record's payload for points of `point_format` (0 to 10) with
 * `extra_bytes` bytes after the standard fields, in chunks of `chunk_size`
 * points, or 0 for chunks the writer's caller closes (variable size).
 * Writes `*size` (also when `capacity` is too small, a MORVA_LAZ_USAGE
 * fault); 34 + 6 * items bytes, 100 always suffice. */
int morva_laz_record_for(uint8_t point_format, uint16_t extra_bytes, uint32_t chunk_size, uint8_t* record,
                         size_t capacity, size_t* size, morva_laz_error* error);

/* Starts writing compressed points into the existing file at `path` from
 * `point_data_start` on (the caller has written the header and its records,
 * the laszip record among them). `threads`: 1 compresses in the calling
 * thread; n > 1 compresses n chunks at once on a pool of n threads; 0 uses
 * every core. Memory stays within `threads` chunks of uncompressed points. */
int morva_laz_writer_open(const char* path, uint64_t point_data_start, const uint8_t* laszip_record,
                          size_t laszip_record_size, unsigned threads, morva_laz_writer** writer,
                          morva_laz_error* error);

/* Compresses `point_count` points of record_length bytes each. */
int morva_laz_writer_write(morva_laz_writer* writer, const uint8_t* points, uint64_t point_count,
                           morva_laz_error* error);

/* Closes the current chunk (variable-size chunks only; a fault otherwise). */
int morva_laz_writer_end_chunk(morva_laz_writer* writer, morva_laz_error* error);

/* Compresses what is left, writes the chunk table and sets `*point_data_end`
 * to the offset where the point data end; the file is cut there (extended
 * records follow from there on). The writer accepts nothing more. */
int morva_laz_writer_finish(morva_laz_writer* writer, uint64_t* point_data_end, morva_laz_error* error);

/* Frees the writer; a writer not finished leaves an incomplete file, which
 * the caller removes (common::StagedFiles does). */
void morva_laz_writer_close(morva_laz_writer* writer);

#ifdef __cplusplus
}
#endif

#endif
