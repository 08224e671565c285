//! Decompression: points in file order, a batch at a time, chunk by chunk
//! (memory stays within one chunk's compressed layers).

use std::fs::File;
use std::path::Path;

use laz::{LasZipDecompressor, LazVlr};

use crate::chunk_check;
use crate::status::{from_io, from_laz, Fault, Outcome, DAMAGED, MISMATCH, USAGE};
use crate::window::Window;

pub struct Reader {
    decompressor: LasZipDecompressor<'static, Window>,
    record_length: usize,
    point_count: u64,
    points_read: u64,
    broken: bool,
}

pub struct Source<'a> {
    pub path: &'a Path,
    pub data_start: u64,
    /// 0: the point data run to the end of the file.
    pub data_end: u64,
    pub laszip_record: &'a [u8],
    pub point_count: u64,
    pub record_length: u16,
}

pub fn open(source: &Source) -> Outcome<Reader> {
    if source.laszip_record.len() < 34 {
        return Err(Fault::new(
            DAMAGED,
            format!("the laszip record holds {} bytes, fewer than its 34-byte start", source.laszip_record.len()),
        ));
    }
    let vlr = LazVlr::from_buffer(source.laszip_record).map_err(|e| from_laz(e, "reading the laszip record"))?;
    if vlr.items_size() != u64::from(source.record_length) {
        return Err(Fault::new(
            MISMATCH,
            format!(
                "the laszip record describes points of {} bytes but the header says {}",
                vlr.items_size(),
                source.record_length
            ),
        ));
    }
    let compressor = u16::from_le_bytes([source.laszip_record[0], source.laszip_record[1]]);
    let file = File::open(source.path).map_err(|e| from_io(e, "opening the file"))?;
    let size = file.metadata().map_err(|e| from_io(e, "reading the file's size"))?.len();
    let end = if source.data_end == 0 { size } else { source.data_end.min(size) };
    let mut window = Window::new(file, end);
    chunk_check::check(&mut window, source.data_start, &vlr, source.point_count, compressor)?;
    let decompressor = LasZipDecompressor::new(window, vlr).map_err(|e| from_laz(e, "starting the decompression"))?;
    Ok(Reader {
        decompressor,
        record_length: usize::from(source.record_length),
        point_count: source.point_count,
        points_read: 0,
        broken: false,
    })
}

impl Reader {
    /// Decompresses the next `out.len() / record_length` points into `out`.
    pub fn read(&mut self, out: &mut [u8]) -> Outcome<()> {
        if self.broken {
            return Err(Fault::new(USAGE, "an earlier fault ended this decompression"));
        }
        if self.record_length == 0 || out.len() % self.record_length != 0 {
            return Err(Fault::new(USAGE, "the buffer does not hold a whole number of points"));
        }
        let wanted = (out.len() / self.record_length) as u64;
        if wanted > self.point_count - self.points_read {
            return Err(Fault::new(
                USAGE,
                format!(
                    "{} points asked for, but only {} of {} remain",
                    wanted,
                    self.point_count - self.points_read,
                    self.point_count
                ),
            ));
        }
        // On a fault the stream's place is unknown: the reader refuses further calls.
        self.broken = true;
        let first = self.points_read + 1;
        let decompressor = &mut self.decompressor;
        let doing = format!("decompressing points {} to {} of {}", first, first + wanted - 1, self.point_count);
        crate::status::guarded(&doing, || decompressor.decompress_many(out).map_err(|e| from_io(e, &doing)))?;
        self.broken = false;
        self.points_read += wanted;
        Ok(())
    }

    pub fn record_length(&self) -> usize {
        self.record_length
    }

    pub fn points_left(&self) -> u64 {
        self.point_count - self.points_read
    }
}
