//! LAZ point data for morva's companions: the laz crate (the LASzip
//! compression, point-wise and layered chunks, point formats 0 to 10) behind
//! the small C interface of morva_laz.h. Every call returns a status and
//! fills a `morva_laz_error`; a panic inside the crate is caught and
//! reported as damaged data, never unwound into C++.

mod chunk_check;
mod reader;
mod status;
mod window;
mod writer;

use std::ffi::{CStr, OsStr};
use std::os::raw::{c_char, c_int, c_uint};
use std::os::unix::ffi::OsStrExt;
use std::path::Path;

use status::{guarded, report, Fault, LazError, Outcome, USAGE};

pub use reader::Reader as morva_laz_reader;
pub use writer::Writer as morva_laz_writer;

fn path_of<'a>(path: *const c_char) -> Outcome<&'a Path> {
    if path.is_null() {
        return Err(Fault::new(USAGE, "no file named"));
    }
    // SAFETY: the caller hands a NUL-terminated string that outlives the call.
    let bytes = unsafe { CStr::from_ptr(path) }.to_bytes();
    Ok(Path::new(OsStr::from_bytes(bytes)))
}

fn bytes_of<'a>(data: *const u8, size: usize) -> Outcome<&'a [u8]> {
    if size == 0 {
        return Ok(&[]);
    }
    if data.is_null() {
        return Err(Fault::new(USAGE, "no data given"));
    }
    // SAFETY: the caller hands `size` readable bytes at `data`.
    Ok(unsafe { std::slice::from_raw_parts(data, size) })
}

fn bytes_of_mut<'a>(data: *mut u8, size: usize) -> Outcome<&'a mut [u8]> {
    if size == 0 {
        return Ok(&mut []);
    }
    if data.is_null() {
        return Err(Fault::new(USAGE, "no buffer given"));
    }
    // SAFETY: the caller hands `size` writable bytes at `data`.
    Ok(unsafe { std::slice::from_raw_parts_mut(data, size) })
}

fn handle<'a, T>(pointer: *mut T) -> Outcome<&'a mut T> {
    // SAFETY: the caller hands a handle from the matching open, not yet closed, or null.
    unsafe { pointer.as_mut() }.ok_or_else(|| Fault::new(USAGE, "no handle given"))
}

// Drops a handle; a panic while dropping it is not unwound into C++.
fn close<T>(pointer: *mut T) {
    if !pointer.is_null() {
        // SAFETY: made by Box::into_raw in the matching open, closed once.
        let _ = std::panic::catch_unwind(std::panic::AssertUnwindSafe(|| drop(unsafe { Box::from_raw(pointer) })));
    }
}

fn byte_count(points: u64, record_length: usize) -> Outcome<usize> {
    points
        .checked_mul(record_length as u64)
        .and_then(|n| usize::try_from(n).ok())
        .ok_or_else(|| Fault::new(USAGE, format!("{} points do not fit in memory", points)))
}

#[no_mangle]
pub extern "C" fn morva_laz_reader_open(
    path: *const c_char,
    point_data_start: u64,
    point_data_end: u64,
    laszip_record: *const u8,
    laszip_record_size: usize,
    point_count: u64,
    record_length: u16,
    fields: u32,
    reader: *mut *mut morva_laz_reader,
    error: *mut LazError,
) -> c_int {
    let result = guarded("opening the compressed points", || {
        if reader.is_null() {
            return Err(Fault::new(USAGE, "no place for the reader"));
        }
        let source = reader::Source {
            path: path_of(path)?,
            data_start: point_data_start,
            data_end: point_data_end,
            laszip_record: bytes_of(laszip_record, laszip_record_size)?,
            point_count,
            record_length,
            fields,
        };
        let opened = Box::new(reader::open(&source)?);
        // SAFETY: checked non-null above.
        unsafe { *reader = Box::into_raw(opened) };
        Ok(())
    });
    report(result, error)
}

#[no_mangle]
pub extern "C" fn morva_laz_reader_read(
    reader: *mut morva_laz_reader,
    points: *mut u8,
    point_count: u64,
    error: *mut LazError,
) -> c_int {
    let result = guarded("decompressing points", || {
        let reader = handle(reader)?;
        let size = byte_count(point_count, reader.record_length())?;
        reader.read(bytes_of_mut(points, size)?)
    });
    report(result, error)
}

#[no_mangle]
pub extern "C" fn morva_laz_reader_points_left(reader: *const morva_laz_reader) -> u64 {
    // SAFETY: as for `handle`.
    unsafe { reader.as_ref() }.map_or(0, |r| r.points_left())
}

#[no_mangle]
pub extern "C" fn morva_laz_reader_close(reader: *mut morva_laz_reader) {
    close(reader)
}

#[no_mangle]
pub extern "C" fn morva_laz_record_for(
    point_format: u8,
    extra_bytes: u16,
    chunk_size: u32,
    record: *mut u8,
    capacity: usize,
    size: *mut usize,
    error: *mut LazError,
) -> c_int {
    let result = guarded("describing the compressed points", || {
        let bytes = writer::laszip_record(point_format, extra_bytes, chunk_size)?;
        if !size.is_null() {
            // SAFETY: the caller hands a writable size_t or null.
            unsafe { *size = bytes.len() };
        }
        if bytes.len() > capacity {
            return Err(Fault::new(USAGE, format!("the laszip record needs {} bytes, the buffer holds {}", bytes.len(), capacity)));
        }
        bytes_of_mut(record, bytes.len())?.copy_from_slice(&bytes);
        Ok(())
    });
    report(result, error)
}

#[no_mangle]
pub extern "C" fn morva_laz_writer_open(
    path: *const c_char,
    point_data_start: u64,
    laszip_record: *const u8,
    laszip_record_size: usize,
    threads: c_uint,
    writer: *mut *mut morva_laz_writer,
    error: *mut LazError,
) -> c_int {
    let result = guarded("starting the compression", || {
        if writer.is_null() {
            return Err(Fault::new(USAGE, "no place for the writer"));
        }
        let record = bytes_of(laszip_record, laszip_record_size)?;
        if record.len() < 34 {
            return Err(Fault::new(USAGE, "the laszip record is shorter than 34 bytes"));
        }
        let opened = Box::new(writer::open(path_of(path)?, point_data_start, record, threads as usize)?);
        // SAFETY: checked non-null above.
        unsafe { *writer = Box::into_raw(opened) };
        Ok(())
    });
    report(result, error)
}

#[no_mangle]
pub extern "C" fn morva_laz_writer_write(
    writer: *mut morva_laz_writer,
    points: *const u8,
    point_count: u64,
    error: *mut LazError,
) -> c_int {
    let result = guarded("compressing points", || {
        let writer = handle(writer)?;
        let size = byte_count(point_count, writer.record_length())?;
        writer.write(bytes_of(points, size)?)
    });
    report(result, error)
}

#[no_mangle]
pub extern "C" fn morva_laz_writer_end_chunk(writer: *mut morva_laz_writer, error: *mut LazError) -> c_int {
    report(guarded("closing a chunk", || handle(writer)?.end_chunk()), error)
}

#[no_mangle]
pub extern "C" fn morva_laz_writer_finish(
    writer: *mut morva_laz_writer,
    point_data_end: *mut u64,
    error: *mut LazError,
) -> c_int {
    let result = guarded("finishing the compressed points", || {
        let end = handle(writer)?.finish()?;
        if !point_data_end.is_null() {
            // SAFETY: the caller hands a writable uint64_t or null.
            unsafe { *point_data_end = end };
        }
        Ok(())
    });
    report(result, error)
}

#[no_mangle]
pub extern "C" fn morva_laz_writer_close(writer: *mut morva_laz_writer) {
    close(writer)
}
