//! Decompression: points in file order, a batch at a time. Chunked data are
//! decompressed ahead of the caller on a thread of their own, a batch of
//! chunks at once, up to four on each core (the chunk table gives every
//! chunk's place), while the caller works on the batch before: memory stays
//! within two batches of at most MOST_AHEAD points, and the points are the same
//! whatever the number of cores. Point-wise data, or chunks too large to
//! hold one per core, are decompressed in the calling thread, chunk after
//! chunk (memory within one chunk's compressed layers).

use std::fs::File;
use std::path::Path;
use std::sync::mpsc::{sync_channel, Receiver, SyncSender};
use std::thread::JoinHandle;

use laz::{DecompressionSelection, LasZipDecompressor, LazVlr, ParLasZipDecompressor};

use crate::chunk_check;
use crate::status::{from_io, from_laz, guarded, Fault, Outcome, DAMAGED, MISMATCH, USAGE};
use crate::window::Window;

/// The most points of one batch decompressed ahead (a chunk per core).
const MOST_AHEAD: u64 = 1 << 22;

/// Chunks of a batch per core: several, so that a core whose chunk is done
/// sooner takes the next rather than waiting for the slowest.
const CHUNKS_PER_CORE: u64 = 4;

/// Batches in memory: one the caller takes from, one ready or on its way.
const BATCHES: usize = 2;

enum Decoder {
    InThread(LasZipDecompressor<'static, Window>),
    Ahead(Ahead),
}

/// The thread that decompresses batches ahead: it fills the buffers it is
/// handed back, in file order, and stops at the first fault.
struct Ahead {
    filled: Receiver<Outcome<Vec<u8>>>,
    empty: Option<SyncSender<Vec<u8>>>,
    thread: Option<JoinHandle<()>>,
    current: Vec<u8>,
    taken: usize,
}

pub struct Reader {
    decoder: Decoder,
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
    /// The fields decompressed (the laz crate's selection bits; the others
    /// are skipped where the data are layered, point formats 6 to 10).
    pub fields: u32,
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
    let largest_chunk = chunk_check::check(&mut window, source.data_start, &vlr, source.point_count, compressor)?;
    let cores = rayon::current_num_threads() as u64;
    let one_each = largest_chunk.unwrap_or(0).saturating_mul(cores);
    // As many chunks per core as fit in the most points ahead (at least one).
    let batch = one_each.saturating_mul((MOST_AHEAD / one_each.max(1)).clamp(1, CHUNKS_PER_CORE));
    let record_length = usize::from(source.record_length);
    let fields = DecompressionSelection(source.fields);
    let decoder = if !cfg!(feature = "one-thread") && batch > 0 && batch <= MOST_AHEAD && source.point_count > 0 {
        let decompressor =
            ParLasZipDecompressor::selective(window, vlr, fields).map_err(|e| from_laz(e, "starting the decompression"))?;
        Decoder::Ahead(Ahead::start(decompressor, batch, source.point_count, record_length)?)
    } else {
        Decoder::InThread(
            LasZipDecompressor::selective(window, vlr, fields).map_err(|e| from_laz(e, "starting the decompression"))?,
        )
    };
    Ok(Reader { decoder, record_length, point_count: source.point_count, points_read: 0, broken: false })
}

impl Ahead {
    fn start(
        mut decompressor: ParLasZipDecompressor<Window>,
        batch: u64,
        point_count: u64,
        record_length: usize,
    ) -> Outcome<Ahead> {
        let (empty, to_fill) = sync_channel::<Vec<u8>>(BATCHES);
        let (done, filled) = sync_channel::<Outcome<Vec<u8>>>(BATCHES);
        for _ in 0..BATCHES {
            let _ = empty.send(Vec::with_capacity(batch as usize * record_length));
        }
        let thread = std::thread::Builder::new()
            .name("laz-read-ahead".into())
            .spawn(move || {
                let mut first = 0u64;
                // Ends when the points are done, at a fault, or when the reader goes (no buffer comes back).
                while first < point_count {
                    let mut buffer = match to_fill.recv() {
                        Ok(buffer) => buffer,
                        Err(_) => return,
                    };
                    let n = batch.min(point_count - first);
                    let doing = format!("decompressing points {} to {} of {}", first + 1, first + n, point_count);
                    buffer.resize(n as usize * record_length, 0);
                    let outcome = guarded(&doing, || decompressor.decompress_many(&mut buffer).map_err(|e| from_laz(e, &doing)));
                    let failed = outcome.is_err();
                    if done.send(outcome.map(|_| buffer)).is_err() || failed {
                        return;
                    }
                    first += n;
                }
            })
            .map_err(|e| Fault::new(USAGE, format!("starting the decompression thread: {}", e)))?;
        Ok(Ahead { filled, empty: Some(empty), thread: Some(thread), current: Vec::new(), taken: 0 })
    }

    /// The next `out.len()` bytes of points, from the batches decompressed ahead.
    fn take(&mut self, out: &mut [u8]) -> Outcome<()> {
        let mut done = 0;
        while done < out.len() {
            if self.taken == self.current.len() {
                let next = self
                    .filled
                    .recv()
                    .map_err(|_| Fault::new(DAMAGED, "the decompression thread ended before the points"))??;
                let spent = std::mem::replace(&mut self.current, next);
                self.taken = 0;
                // Back to the thread for the batch after next (the first is no buffer yet).
                if let (Some(empty), true) = (&self.empty, spent.capacity() > 0) {
                    let _ = empty.send(spent);
                }
            }
            let n = (self.current.len() - self.taken).min(out.len() - done);
            out[done..done + n].copy_from_slice(&self.current[self.taken..self.taken + n]);
            done += n;
            self.taken += n;
        }
        Ok(())
    }
}

impl Drop for Ahead {
    fn drop(&mut self) {
        // No more buffers, and no one to hand a batch to: the thread ends
        // after the batch it is on.
        self.empty = None;
        drop(std::mem::replace(&mut self.filled, sync_channel(0).1));
        if let Some(thread) = self.thread.take() {
            let _ = thread.join();
        }
    }
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
        let doing = format!("decompressing points {} to {} of {}", first, first + wanted - 1, self.point_count);
        match &mut self.decoder {
            Decoder::InThread(decompressor) => {
                guarded(&doing, || decompressor.decompress_many(out).map_err(|e| from_io(e, &doing)))?
            }
            Decoder::Ahead(ahead) => ahead.take(out)?,
        }
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
