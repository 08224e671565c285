//! Checks the chunk table against the file before decompression starts, so
//! that a truncated file or a damaged table is named at once, and so that the
//! laz crate never sizes memory by a damaged chunk count.

use std::io::{Read, Seek, SeekFrom};

use laz::laszip::ChunkTable;
use laz::LazVlr;

use crate::status::{from_io, Fault, Outcome, CHUNK_TABLE, TRUNCATED};
use crate::window::Window;

const POINT_WISE: u16 = 0;

/// Leaves `window` at `data_start` (where the offset to the chunk table is).
/// Returns the points of the largest chunk (None for point-wise data,
/// which has no chunks).
pub fn check(
    window: &mut Window,
    data_start: u64,
    vlr: &LazVlr,
    point_count: u64,
    compressor: u16,
) -> Outcome<Option<u64>> {
    let end = window.end();
    if compressor == POINT_WISE {
        if point_count > 0 && data_start >= end {
            return Err(Fault::new(TRUNCATED, "the file ends before its compressed points (the file is truncated)"));
        }
        seek(window, data_start)?;
        return Ok(None);
    }
    if data_start + 8 > end {
        return Err(Fault::new(TRUNCATED, "the file ends before its compressed points (the file is truncated)"));
    }
    let table_at = match table_offset(window, data_start)? {
        Offset::AtStart(at) if at + 8 > end => {
            return Err(Fault::new(
                TRUNCATED,
                format!(
                    "the chunk table should lie at byte {} but the point data end at byte {} (the file is truncated)",
                    at, end
                ),
            ));
        }
        Offset::AtStart(at) | Offset::AtEnd(at) => at,
        // Without the table the laz crate loses its place in the points.
        Offset::None => return Err(Fault::new(CHUNK_TABLE, "the chunk table is missing")),
    };
    // The table's header: its version, then its chunk count.
    let head = read_8(window, table_at, "reading the chunk table")?;
    let chunk_count = u32::from_le_bytes([head[4], head[5], head[6], head[7]]);
    let expected = expected_chunks(vlr, point_count);
    let plausible = match expected {
        // An empty file's writer may have closed one empty chunk.
        Some(exact) => u64::from(chunk_count) == exact || (point_count == 0 && chunk_count == 1),
        None => u64::from(chunk_count) <= point_count && u64::from(chunk_count) <= table_at - data_start,
    };
    if !plausible || (point_count > 0 && chunk_count == 0) {
        return Err(Fault::new(
            CHUNK_TABLE,
            format!(
                "the chunk table is damaged: it lists {} chunks for {} points{}",
                chunk_count,
                point_count,
                expected.map(|n| format!(" in chunks of {} (expected {})", vlr.chunk_size(), n)).unwrap_or_default()
            ),
        ));
    }
    seek(window, table_at)?;
    let table = ChunkTable::read(window, vlr.uses_variable_size_chunks())
        .map_err(|e| damaged_or(e, "the chunk table is damaged"))?;
    let bytes: u64 = table.as_ref().iter().map(|entry| entry.byte_count).sum();
    if bytes != table_at - data_start - 8 {
        return Err(Fault::new(
            CHUNK_TABLE,
            format!(
                "the chunk table is damaged: its chunks hold {} bytes but the compressed points take {}",
                bytes,
                table_at - data_start - 8
            ),
        ));
    }
    let largest = if vlr.uses_variable_size_chunks() {
        let points: u64 = table.as_ref().iter().map(|entry| entry.point_count).sum();
        if points != point_count {
            return Err(Fault::new(
                CHUNK_TABLE,
                format!("the chunk table is damaged: its chunks hold {} points, the header counts {}", points, point_count),
            ));
        }
        table.as_ref().iter().map(|entry| entry.point_count).max().unwrap_or(0)
    } else {
        u64::from(vlr.chunk_size())
    };
    seek(window, data_start)?;
    Ok(Some(largest))
}

enum Offset {
    AtStart(u64),
    AtEnd(u64),
    None,
}

/// The chunk table's position: written at the start of the point data, or,
/// by a writer that could not go back, in the last 8 bytes of the point
/// data (where a value that points beyond them is no offset). The laz crate
/// looks in the same two places.
fn table_offset(window: &mut Window, data_start: u64) -> Outcome<Offset> {
    let at_start = i64::from_le_bytes(read_8(window, data_start, "reading the offset to the chunk table")?);
    if at_start > data_start as i64 {
        return Ok(Offset::AtStart(at_start as u64));
    }
    let end = window.end();
    let at_end = i64::from_le_bytes(read_8(window, end - 8, "reading the offset to the chunk table")?);
    Ok(if at_end > data_start as i64 && (at_end as u64) + 8 <= end { Offset::AtEnd(at_end as u64) } else { Offset::None })
}

/// Fixed-size chunks: exactly as many as the points fill.
fn expected_chunks(vlr: &LazVlr, point_count: u64) -> Option<u64> {
    if vlr.uses_variable_size_chunks() {
        return None;
    }
    let size = u64::from(vlr.chunk_size()).max(1);
    Some((point_count + size - 1) / size)
}

fn read_8(window: &mut Window, at: u64, doing: &str) -> Outcome<[u8; 8]> {
    seek(window, at)?;
    let mut bytes = [0u8; 8];
    window.read_exact(&mut bytes).map_err(|e| from_io(e, doing))?;
    Ok(bytes)
}

fn seek(window: &mut Window, at: u64) -> Outcome<()> {
    window.seek(SeekFrom::Start(at)).map(|_| ()).map_err(|e| from_io(e, "seeking in the file"))
}

/// A table that does not decode is the table's fault, even when it runs past the end.
fn damaged_or(error: std::io::Error, what: &str) -> Fault {
    if error.kind() == std::io::ErrorKind::UnexpectedEof {
        Fault::new(CHUNK_TABLE, format!("{} or cut short (it runs past the end of the point data)", what))
    } else {
        Fault::new(CHUNK_TABLE, format!("{} ({})", what, error))
    }
}
