//! Errors as the C side sees them: a code and one line of text.

use std::os::raw::{c_char, c_int};

pub const OK: c_int = 0;
pub const IO: c_int = 1;
pub const TRUNCATED: c_int = 2;
pub const CHUNK_TABLE: c_int = 3;
pub const DAMAGED: c_int = 4;
pub const UNSUPPORTED: c_int = 5;
pub const MISMATCH: c_int = 6;
pub const USAGE: c_int = 7;

pub const MESSAGE_CAPACITY: usize = 512;

/// `morva_laz_error` of morva_laz.h.
#[repr(C)]
pub struct LazError {
    pub code: c_int,
    pub message: [c_char; MESSAGE_CAPACITY],
}

/// A fault with its code, on its way to the caller.
#[derive(Debug)]
pub struct Fault {
    pub code: c_int,
    pub message: String,
}

impl Fault {
    pub fn new(code: c_int, message: impl Into<String>) -> Fault {
        Fault { code, message: message.into() }
    }
}

pub type Outcome<T> = Result<T, Fault>;

/// The laz crate's errors, sorted into our codes.
pub fn from_laz(error: laz::LasZipError, doing: &str) -> Fault {
    use laz::LasZipError::*;
    match error {
        IoError(e) => from_io(e, doing),
        MissingChunkTable => Fault::new(CHUNK_TABLE, format!("{}: the chunk table is missing", doing)),
        UnknownLazItem(_) | UnsupportedLazItemVersion(..) | UnknownCompressorType(_)
        | UnsupportedCompressorType(_) | UnsupportedPointFormat(_) => {
            Fault::new(UNSUPPORTED, format!("{}: {}", doing, error))
        }
        other => Fault::new(DAMAGED, format!("{}: {}", doing, other)),
    }
}

pub fn from_io(error: std::io::Error, doing: &str) -> Fault {
    if error.kind() == std::io::ErrorKind::UnexpectedEof {
        Fault::new(TRUNCATED, format!("{}: the data end early (the file is truncated)", doing))
    } else {
        // The system's reason first, as in "cannot write NAME: File too large (...)".
        let reason = match error.raw_os_error() {
            Some(code) => std::io::Error::from_raw_os_error(code).to_string(),
            None => error.to_string(),
        };
        let reason = reason.split(" (os error").next().unwrap_or("").to_string();
        Fault::new(IO, format!("{} ({})", reason, doing))
    }
}

/// Writes the fault into the caller's error record (when it gave one) and
/// returns its code.
pub fn report(result: Outcome<()>, error: *mut LazError) -> c_int {
    let fault = match result {
        Ok(()) => Fault::new(OK, ""),
        Err(fault) => fault,
    };
    if !error.is_null() {
        // SAFETY: the caller hands a valid morva_laz_error or null.
        let error = unsafe { &mut *error };
        error.code = fault.code;
        let bytes = truncated_utf8(&fault.message, MESSAGE_CAPACITY - 1);
        for (slot, byte) in error.message.iter_mut().zip(bytes.iter()) {
            *slot = *byte as c_char;
        }
        error.message[bytes.len()] = 0;
    }
    fault.code
}

/// The longest prefix of `text` within `limit` bytes that ends on a character boundary.
fn truncated_utf8(text: &str, limit: usize) -> &[u8] {
    let mut end = text.len().min(limit);
    while !text.is_char_boundary(end) {
        end -= 1;
    }
    &text.as_bytes()[..end]
}

/// Runs one call of the interface; a panic inside the laz crate (damaged
/// data it did not foresee) becomes a fault instead of ending the program.
pub fn guarded<T>(doing: &str, call: impl FnOnce() -> Outcome<T>) -> Outcome<T> {
    silence_panic_messages();
    match std::panic::catch_unwind(std::panic::AssertUnwindSafe(call)) {
        Ok(outcome) => outcome,
        Err(payload) => {
            let what = payload
                .downcast_ref::<&str>()
                .map(|s| s.to_string())
                .or_else(|| payload.downcast_ref::<String>().cloned())
                .unwrap_or_else(|| "no detail".to_string());
            Err(Fault::new(DAMAGED, format!("{}: the compressed data are damaged ({})", doing, what)))
        }
    }
}

/// The message of a caught panic is the caller's to print, once, in its own form.
fn silence_panic_messages() {
    static ONCE: std::sync::Once = std::sync::Once::new();
    ONCE.call_once(|| std::panic::set_hook(Box::new(|_| {})));
}
