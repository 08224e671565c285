#include "run/pipeline.hpp"

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "text/layout.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"

namespace morva::run {
namespace {

// Memory for the batches in flight, whatever the thread count: a batch
// holds at most kBatchMemory / in-flight batches, at kWorstBytes for each
// measurement (raw bytes, a text record, diagnostics, a time-gap line, a
// centre candidate, its regression pair and log entries all at once). Their
// buffers grow by doubling, so at most twice that is held: below 64 MiB with
// the streams' own buffers.
constexpr std::size_t kBatchMemory = 28u << 20;
constexpr std::size_t kWorstBytes = 384;
constexpr std::size_t kMaxBatchMeasurements = 1u << 15;
constexpr std::size_t kScanCost = 16;  // a scan record's own share, in measurements

enum class ScanKind : std::uint8_t { BeforeWindow, Thinned, End, Process };

struct ScanSlot {
    scanner::ScanStream scan;  // after its trailer
    ScanKind kind;
    std::int32_t jtraj;        // trajectory cursor at its start
    std::size_t raw;           // offset of its measurement bytes in Batch::raw
    std::size_t report_end;    // end of its console lines in Batch::report
    ScanMarks marks;
};

struct Batch {
    std::vector<ScanSlot> scans;
    std::vector<std::uint8_t> raw;
    text::OutStream report;            // the reader's console lines
    ScanResults results;
    std::exception_ptr read_stop;      // met while reading, after every slot
    std::exception_ptr work_stop;      // met while georeferencing scan work_stop_at
    std::size_t work_stop_at = 0;
    std::uint64_t sequence = 0;
    enum State { Free, Ready, Working, Done } state = Free;
};

// The sequential reading of scan records.
struct Reader {
    scanner::ByteReader& in;
    const scanner::scanner_header& header;
    scanner::ScanStream& stream;
    const georef::SurveyInputs& inputs;
    Progress* progress;
    std::size_t budget;       // measurements per batch
    std::int32_t jtraj = 1;   // trajectory cursor, forward only
    bool finished = false;
};

void read_batch(Reader& rd, Batch& b) {
    static const text::Layout skipped = text::layout(R"(" " 2I6 F9.5 " skipped, before t1")");
    const inputs::RunControl& rc = *rd.inputs.rc;
    const std::size_t meas_bytes = scanner::measurement_bytes(rd.header);
    b.scans.clear();
    b.raw.clear();
    text::clear(b.report);
    b.read_stop = nullptr;
    b.work_stop = nullptr;
    std::size_t cost = 0;
    try {
        while (!rd.finished && cost < rd.budget) {
            const std::uint8_t* raw = scanner::read_scan_record(rd.in, rd.header, rd.stream, b.report);
            if (raw == nullptr) {
                rd.finished = true;
                break;
            }
            if (rd.progress != nullptr) count_scan(*rd.progress, rd.in);
            const scanner::ScanStream& s = rd.stream;
            ScanSlot slot{s, ScanKind::Process, rd.jtraj, b.raw.size(), 0, {}};
            cost += kScanCost;
            if (s.tscan < rc.tstart) {
                if (s.nscan % 10000 == 0) text::write_fixed(b.report, skipped, {s.nscan, s.scanno, s.tscan});
                slot.kind = ScanKind::BeforeWindow;
            } else {
                switch (georef::scan_test(s, rc)) {
                    case georef::ScanDecision::End:
                        slot.kind = ScanKind::End;
                        rd.finished = true;
                        break;
                    case georef::ScanDecision::Skip:
                        slot.kind = ScanKind::Thinned;
                        break;
                    case georef::ScanDecision::Process:
                        b.raw.insert(b.raw.end(), raw, raw + meas_bytes);
                        rd.jtraj = georef::advance_over_scan(rd.inputs, s, raw, rd.jtraj);
                        cost += meas_bytes / 10;
                        break;
                }
            }
            slot.report_end = b.report.used;
            b.scans.push_back(slot);
        }
    } catch (...) {
        b.read_stop = std::current_exception();
        rd.finished = true;
    }
}

void process_batch(const georef::SurveyInputs& inputs, ScanWork work, Batch& b, scanner::ScanTables& tables) {
    clear_results(b.results);
    for (std::size_t k = 0; k < b.scans.size(); ++k) {
        ScanSlot& slot = b.scans[k];
        if (slot.kind != ScanKind::Process) continue;
        try {
            work(inputs, slot.scan, b.raw.data() + slot.raw, slot.jtraj, tables, b.results, slot.marks);
        } catch (...) {
            // Reported at its place in the sequence; nothing after it is done.
            b.work_stop = std::current_exception();
            b.work_stop_at = k;
            return;
        }
    }
}

// The ordered stage: one batch, in the original order of its scans.
void order_batch(const georef::SurveyInputs& inputs, const SurveyOutputs& outputs, RunState& state,
                 regression::NormalSums& sums, Batch& b) {
    text::OutStream& console = text::console();
    std::size_t report_pos = 0;
    std::size_t log_pos = 0;
    std::size_t offsets[georef::kScanOutputs] = {};
    for (std::size_t k = 0; k < b.scans.size(); ++k) {
        const ScanSlot& slot = b.scans[k];
        text::put_bytes(console, b.report.buffer.get() + report_pos, slot.report_end - report_pos);
        report_pos = slot.report_end;
        if (slot.kind == ScanKind::BeforeWindow) {
            // The gap test of the first output point compares with the last skipped scan.
            state.stats.tprev = slot.scan.tscan;
        } else if (slot.kind == ScanKind::Process) {
            replay_scan(outputs, state, b.results, log_pos, slot.marks, offsets);
            log_pos = slot.marks.log_end;
        }
        if (b.work_stop && k == b.work_stop_at) std::rethrow_exception(b.work_stop);
    }
    merge_results(state, b.results);
    const inputs::RunControl& rc = *inputs.rc;
    if (rc.regression_on) {
        // The floating-point sums in the order of the points, as one thread adds them.
        const std::vector<double>& points = b.results.regression;
        for (std::size_t k = 0; k + 1 < points.size(); k += 2) {
            regression::accumulate(sums, points[k], points[k + 1], rc.nparams);
        }
    }
    text::put_bytes(console, b.report.buffer.get() + report_pos, b.report.used - report_pos);
    if (b.read_stop) std::rethrow_exception(b.read_stop);
}

// The batches in flight and the threads that georeference them.
class Pipeline {
public:
    Pipeline(const georef::SurveyInputs& inputs, ScanWork work, int threads)
        : inputs_(inputs), work_(work), ring_(threads == 1 ? 1 : static_cast<std::size_t>(threads) + 2) {
        for (auto& b : ring_) b = std::make_unique<Batch>();
        for (int t = 1; t < threads; ++t) workers_.emplace_back([this] { serve(); });
    }
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;
    // Also when a stop leaves the loop: the workers finish their batch and end.
    ~Pipeline() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        work_ready_.notify_all();
        for (auto& w : workers_) w.join();
    }

    std::size_t in_flight() const { return ring_.size(); }

    Batch& at(std::uint64_t sequence) { return *ring_[sequence % ring_.size()]; }

    // Hands a batch the reader has filled to the workers.
    void publish(Batch& b, std::uint64_t sequence) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            b.sequence = sequence;
            b.state = Batch::Ready;
        }
        work_ready_.notify_one();
    }

    // Waits until the batch is georeferenced, doing waiting work meanwhile.
    void wait_done(Batch& b) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (b.state != Batch::Done) {
            if (Batch* next = claim()) {
                lock.unlock();
                process_batch(inputs_, work_, *next, *tables_);
                lock.lock();
                next->state = Batch::Done;
                continue;
            }
            batch_done_.wait(lock);
        }
    }

    void release(Batch& b) {
        std::lock_guard<std::mutex> lock(mutex_);
        b.state = Batch::Free;
    }

private:
    // The oldest batch waiting for a thread; the caller holds the lock.
    Batch* claim() {
        Batch* oldest = nullptr;
        for (auto& b : ring_) {
            if (b->state == Batch::Ready && (oldest == nullptr || b->sequence < oldest->sequence)) oldest = b.get();
        }
        if (oldest != nullptr) oldest->state = Batch::Working;
        return oldest;
    }

    void serve() {
        auto tables = std::make_unique<scanner::ScanTables>();
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            Batch* next = nullptr;
            work_ready_.wait(lock, [&] { return quit_ || (next = claim()) != nullptr; });
            if (next == nullptr) return;
            lock.unlock();
            process_batch(inputs_, work_, *next, *tables);
            lock.lock();
            next->state = Batch::Done;
            batch_done_.notify_one();
        }
    }

    const georef::SurveyInputs& inputs_;
    const ScanWork work_;
    std::vector<std::unique_ptr<Batch>> ring_;
    std::unique_ptr<scanner::ScanTables> tables_ = std::make_unique<scanner::ScanTables>();
    std::mutex mutex_;
    std::condition_variable work_ready_, batch_done_;
    bool quit_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace

void run_scan_loop(scanner::ByteReader& scan, const scanner::scanner_header& header, scanner::ScanStream& stream,
                   const georef::SurveyInputs& inputs, const SurveyOutputs& outputs, RunState& state,
                   regression::NormalSums& sums, const LoopOptions& options) {
    const int threads = std::max(options.threads, 1);
    Pipeline pipeline(inputs, options.work, threads);
    const std::size_t budget =
        options.batch_measurements > 0
            ? options.batch_measurements
            : std::clamp<std::size_t>(kBatchMemory / pipeline.in_flight() / kWorstBytes, 1, kMaxBatchMeasurements);
    Reader reader{scan, header, stream, inputs, options.progress, budget};

    std::uint64_t next_read = 0, next_order = 0;
    for (;;) {
        while (!reader.finished && next_read - next_order < pipeline.in_flight()) {
            Batch& b = pipeline.at(next_read);
            read_batch(reader, b);
            pipeline.publish(b, next_read);
            ++next_read;
        }
        if (next_order == next_read) break;
        Batch& oldest = pipeline.at(next_order);
        pipeline.wait_done(oldest);
        order_batch(inputs, outputs, state, sums, oldest);
        pipeline.release(oldest);
        ++next_order;
    }
    if (options.progress != nullptr) end_progress(*options.progress);
}

int available_cpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    const int n = CPU_COUNT(&set);
    return n > 0 ? n : 1;
}

}  // namespace morva::run
