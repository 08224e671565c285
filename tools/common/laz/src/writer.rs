//! Compression into a file whose header and records the caller has written:
//! points from `data_start` on, then the chunk table. With several threads,
//! whole chunks are compressed at once on a pool of that size; fixed-size
//! chunks on a thread of their own while the caller gathers the next batch,
//! so memory stays within three batches of four chunks per thread.

use std::fs::{File, OpenOptions};
use std::io::{BufWriter, Seek, SeekFrom, Write};
use std::path::Path;
use std::sync::mpsc::{sync_channel, Receiver, SyncSender};
use std::thread::JoinHandle;

use laz::{LasZipCompressor, LazVlr, LazVlrBuilder, ParLasZipCompressor};
use rayon::prelude::*;

use crate::status::{from_io, from_laz, guarded, Fault, Outcome, UNSUPPORTED, USAGE};

type Sink = BufWriter<File>;

enum Engine {
    Sequential(LasZipCompressor<'static, Sink>),
    /// Fixed-size chunks: `pending` gathers `threads` chunks' points for the compressing thread.
    ParallelFixed { behind: Behind, pending: Vec<u8>, batch: usize },
    /// Variable-size chunks: `chunks` gathers `threads` closed chunks, `open` the one being filled.
    ParallelVariable { compressor: ParLasZipCompressor<Sink>, chunks: Vec<Vec<u8>>, open: Vec<u8> },
}

/// The thread that compresses the batches handed to it, in order, on the
/// pool; it hands each buffer back, and the compressor at the end.
struct Behind {
    batches: Option<SyncSender<Vec<u8>>>,
    spent: Receiver<Vec<u8>>,
    thread: Option<JoinHandle<Outcome<ParLasZipCompressor<Sink>>>>,
    buffers: usize,
}

/// Chunks of a batch per thread: several, so that a thread whose chunk
/// compresses sooner takes the next rather than waiting for the slowest.
const CHUNKS_PER_THREAD: usize = 4;

/// Buffers of a batch: one filling, one compressing, one on its way back.
const BUFFERS: usize = 3;

impl Behind {
    fn start(mut compressor: ParLasZipCompressor<Sink>, pool: Option<rayon::ThreadPool>) -> Outcome<Behind> {
        let (batches, to_compress) = sync_channel::<Vec<u8>>(0);
        let (give_back, spent) = sync_channel::<Vec<u8>>(BUFFERS);
        let thread = std::thread::Builder::new()
            .name("laz-compress".into())
            .spawn(move || {
                for mut batch in to_compress {
                    guarded("compressing points", || {
                        in_pool(&pool, || compressor.compress_many(&batch)).map_err(|e| from_io(e, "compressing points"))
                    })?;
                    batch.clear();
                    let _ = give_back.send(batch);
                }
                Ok(compressor)
            })
            .map_err(|e| Fault::new(UNSUPPORTED, format!("starting the compression thread: {}", e)))?;
        Ok(Behind { batches: Some(batches), spent, thread: Some(thread), buffers: 1 })
    }

    /// Hands a full batch over; returns an empty buffer for the next.
    fn hand_over(&mut self, batch: Vec<u8>) -> Outcome<Vec<u8>> {
        let sent = self.batches.as_ref().map_or(false, |b| b.send(batch).is_ok());
        if !sent {
            return Err(self.fault());
        }
        if self.buffers < BUFFERS {
            self.buffers += 1;
            return Ok(Vec::new());
        }
        self.spent.recv().map_err(|_| self.fault())
    }

    /// The compressor, once every batch handed over is compressed.
    fn done(&mut self) -> Outcome<ParLasZipCompressor<Sink>> {
        self.batches = None;
        match self.thread.take().map(|t| t.join()) {
            Some(Ok(outcome)) => outcome,
            _ => Err(Fault::new(USAGE, "the compression thread ended unexpectedly")),
        }
    }

    /// Why the thread stopped taking batches: its fault.
    fn fault(&mut self) -> Fault {
        match self.done() {
            Err(fault) => fault,
            Ok(_) => Fault::new(USAGE, "the compression thread ended early"),
        }
    }
}

impl Drop for Behind {
    fn drop(&mut self) {
        self.batches = None;
        if let Some(thread) = self.thread.take() {
            let _ = thread.join();
        }
    }
}

pub struct Writer {
    engine: Engine,
    pool: Option<rayon::ThreadPool>,
    threads: usize,
    record_length: usize,
    broken: bool,
}

/// The laszip record (its payload) for points of `point_format` with
/// `extra_bytes` after the standard fields, in chunks of `chunk_size`
/// points (0: chunks closed by the writer's caller).
pub fn laszip_record(point_format: u8, extra_bytes: u16, chunk_size: u32) -> Outcome<Vec<u8>> {
    let builder = LazVlrBuilder::default()
        .with_point_format(point_format, extra_bytes)
        .map_err(|e| from_laz(e, "describing the points"))?;
    let vlr = if chunk_size == 0 { builder.with_variable_chunk_size() } else { builder.with_fixed_chunk_size(chunk_size) }.build();
    let mut bytes = Vec::new();
    vlr.write_to(&mut bytes).map_err(|e| from_io(e, "writing the laszip record"))?;
    Ok(bytes)
}

pub fn open(path: &Path, data_start: u64, laszip_record: &[u8], threads: usize) -> Outcome<Writer> {
    let threads = if cfg!(feature = "one-thread") { 1 } else { threads };
    let vlr = LazVlr::from_buffer(laszip_record).map_err(|e| from_laz(e, "reading the laszip record"))?;
    let compressor_kind = u16::from_le_bytes([laszip_record[0], laszip_record[1]]);
    let record_length = vlr.items_size() as usize;
    let variable = vlr.uses_variable_size_chunks();
    let mut file = OpenOptions::new().write(true).open(path).map_err(|e| from_io(e, "opening the output"))?;
    file.seek(SeekFrom::Start(data_start)).map_err(|e| from_io(e, "seeking in the output"))?;
    let sink = BufWriter::with_capacity(1 << 20, file);
    let (engine, pool, threads) = if threads == 1 || compressor_kind == 0 {
        let compressor = LasZipCompressor::new(sink, vlr).map_err(|e| from_laz(e, "starting the compression"))?;
        (Engine::Sequential(compressor), None, 1)
    } else {
        let pool = rayon::ThreadPoolBuilder::new()
            .num_threads(threads)
            .build()
            .map_err(|e| Fault::new(UNSUPPORTED, format!("starting {} compression threads: {}", threads, e)))?;
        let batch = CHUNKS_PER_THREAD * pool.current_num_threads() * vlr.chunk_size() as usize * record_length;
        let threads = pool.current_num_threads();
        let compressor = ParLasZipCompressor::new(sink, vlr).map_err(|e| from_laz(e, "starting the compression"))?;
        if variable {
            (Engine::ParallelVariable { compressor, chunks: Vec::new(), open: Vec::new() }, Some(pool), threads)
        } else {
            let behind = Behind::start(compressor, Some(pool))?;
            (Engine::ParallelFixed { behind, pending: Vec::with_capacity(batch), batch }, None, threads)
        }
    };
    Ok(Writer { engine, pool, threads, record_length, broken: false })
}

impl Writer {
    pub fn write(&mut self, points: &[u8]) -> Outcome<()> {
        if self.record_length == 0 || points.len() % self.record_length != 0 {
            return Err(Fault::new(USAGE, "the buffer does not hold a whole number of points"));
        }
        self.step("compressing points", |w| w.write_points(points))
    }

    pub fn record_length(&self) -> usize {
        self.record_length
    }

    /// Closes the current chunk (variable-size chunks only).
    pub fn end_chunk(&mut self) -> Outcome<()> {
        self.step("closing a chunk", |w| w.close_chunk())
    }

    /// Compresses what is left, writes the chunk table and returns the
    /// offset where the point data end (and where the file now ends).
    pub fn finish(&mut self) -> Outcome<u64> {
        let mut end = 0;
        self.step("finishing the compressed points", |w| {
            end = w.finish_points()?;
            Ok(())
        })?;
        self.broken = true; // nothing may follow the chunk table
        Ok(end)
    }

    /// Runs one step; on a fault the output is incomplete and the writer refuses further calls.
    fn step(&mut self, doing: &str, action: impl FnOnce(&mut Writer) -> Outcome<()>) -> Outcome<()> {
        if self.broken {
            return Err(Fault::new(USAGE, "this compression has ended (finished, or stopped by a fault)"));
        }
        self.broken = true;
        guarded(doing, || action(self))?;
        self.broken = false;
        Ok(())
    }

    fn write_points(&mut self, points: &[u8]) -> Outcome<()> {
        let io = |e| from_io(e, "compressing points");
        match &mut self.engine {
            Engine::Sequential(c) => c.compress_many(points).map_err(io),
            Engine::ParallelVariable { open, .. } => {
                open.extend_from_slice(points);
                Ok(())
            }
            Engine::ParallelFixed { behind, pending, batch } => {
                let mut rest = points;
                while !rest.is_empty() {
                    let take = (*batch - pending.len()).min(rest.len());
                    pending.extend_from_slice(&rest[..take]);
                    rest = &rest[take..];
                    if pending.len() == *batch {
                        let next = behind.hand_over(std::mem::take(pending))?;
                        *pending = next;
                        pending.reserve(*batch);
                    }
                }
                Ok(())
            }
        }
    }

    fn close_chunk(&mut self) -> Outcome<()> {
        let io = |e| from_io(e, "closing a chunk");
        match &mut self.engine {
            Engine::Sequential(c) => c.finish_current_chunk().map_err(io),
            Engine::ParallelVariable { compressor, chunks, open } => {
                if !open.is_empty() {
                    chunks.push(std::mem::take(open));
                }
                if chunks.len() >= self.threads {
                    let batch = std::mem::take(chunks);
                    in_pool(&self.pool, || compressor.compress_chunks(batch.into_par_iter())).map_err(io)?;
                }
                Ok(())
            }
            Engine::ParallelFixed { .. } => {
                Err(Fault::new(USAGE, "chunks close by themselves when their size is fixed"))
            }
        }
    }

    fn finish_points(&mut self) -> Outcome<u64> {
        let doing = "finishing the compressed points";
        if let Engine::ParallelVariable { open, .. } = &self.engine {
            if !open.is_empty() {
                self.close_chunk()?;
            }
        }
        let pool = &self.pool;
        let mut compressed_behind = None;
        let sink = match &mut self.engine {
            Engine::Sequential(c) => {
                c.done().map_err(|e| from_io(e, doing))?;
                c.get_mut()
            }
            Engine::ParallelVariable { compressor, chunks, .. } => {
                let batch = std::mem::take(chunks);
                in_pool(pool, || compressor.compress_chunks(batch.into_par_iter())).map_err(|e| from_io(e, doing))?;
                compressor.done().map_err(|e| from_laz(e, doing))?;
                compressor.get_mut()
            }
            Engine::ParallelFixed { behind, pending, .. } => {
                if !pending.is_empty() {
                    behind.hand_over(std::mem::take(pending))?;
                }
                let compressor = compressed_behind.insert(behind.done()?);
                compressor.done().map_err(|e| from_laz(e, doing))?;
                compressor.get_mut()
            }
        };
        sink.flush().map_err(|e| from_io(e, doing))?;
        let end = sink.stream_position().map_err(|e| from_io(e, doing))?;
        // Whatever the file held beyond the chunk table is not ours to keep.
        sink.get_ref().set_len(end).map_err(|e| from_io(e, doing))?;
        Ok(end)
    }
}

fn in_pool<T: Send>(pool: &Option<rayon::ThreadPool>, work: impl FnOnce() -> T + Send) -> T {
    match pool {
        Some(pool) => pool.install(work),
        None => work(),
    }
}
