//! The file as the laz crate sees it: positions are the file's own (the
//! chunk table's offset counts from the file's start), and it ends where the
//! point data end, so that records after them (LAS 1.4's extended VLRs) are
//! never read as points and the search for a chunk table offset written at
//! the end looks at the end of the point data.

use std::fs::File;
use std::io::{BufReader, Read, Seek, SeekFrom};

pub struct Window {
    file: BufReader<File>,
    end: u64,
    position: u64,
}

impl Window {
    pub fn new(file: File, end: u64) -> Window {
        Window { file: BufReader::with_capacity(1 << 16, file), end, position: 0 }
    }

    pub fn end(&self) -> u64 {
        self.end
    }
}

impl Read for Window {
    fn read(&mut self, buffer: &mut [u8]) -> std::io::Result<usize> {
        let left = self.end.saturating_sub(self.position);
        let wanted = (buffer.len() as u64).min(left) as usize;
        if wanted == 0 {
            return Ok(0);
        }
        let got = self.file.read(&mut buffer[..wanted])?;
        self.position += got as u64;
        Ok(got)
    }
}

impl Seek for Window {
    fn seek(&mut self, to: SeekFrom) -> std::io::Result<u64> {
        let target = match to {
            SeekFrom::Start(at) => Some(at),
            SeekFrom::End(delta) => offset(self.end, delta),
            SeekFrom::Current(delta) => offset(self.position, delta),
        };
        let target = target.ok_or_else(|| {
            std::io::Error::new(std::io::ErrorKind::InvalidInput, "a seek before the start of the file")
        })?;
        if target != self.position {
            // Relative seeks keep what BufReader holds when the target lies in it.
            self.file.seek_relative(target as i64 - self.position as i64)?;
            self.position = target;
        }
        Ok(self.position)
    }
}

fn offset(base: u64, delta: i64) -> Option<u64> {
    if delta >= 0 {
        base.checked_add(delta as u64)
    } else {
        base.checked_sub(delta.unsigned_abs())
    }
}
