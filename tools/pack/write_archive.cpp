// Writing a plan: entry by entry on one thread, or compressed by worker
// threads and written by the calling thread in the plan's order.  An
// entry's header and packed data do not depend on where it lies in the
// archive, so both ways give the same bytes.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "pack.h"
#include "task_pool.h"

namespace pack {
namespace {

lzh::EntryInfo InfoOf(const PlannedEntry& entry, const PackOptions& options) {
    return lzh::EntryInfo{entry.storedName.c_str(),
                          entry.file.size,
                          entry.file.modified,
                          entry.file.attributes,
                          entry.exactName.empty() ? nullptr : entry.exactName.c_str(),
                          static_cast<uint32_t>(options.codePage)};
}

// An entry's file as the encoder reads it: the bytes read the first time
// go to the progress (a file that does not shrink is read twice), and
// once `cancel` is set every read fails, which ends the entry early.
class CountedInput final : public lzh::EncodeInput {
public:
    CountedInput(FILE* file, Progress* progress, const std::atomic<bool>* cancel)
        : file_(file), progress_(progress), cancel_(cancel) {}

    long Read(uint8_t* buffer, size_t count) override {
        if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) return -1;
        const long got = file_.Read(buffer, count);
        if (got > 0 && progress_ != nullptr) {
            offset_ += static_cast<uint64_t>(got);
            if (offset_ > counted_) {
                progress_->Add(offset_ - counted_);
                counted_ = offset_;
            }
            progress_->Tick();
        }
        return got;
    }
    bool Rewind() override {
        offset_ = 0;
        return file_.Rewind();
    }

private:
    lzh::FileInput file_;
    Progress* progress_;
    const std::atomic<bool>* cancel_;
    uint64_t offset_ = 0;
    uint64_t counted_ = 0;
};

// How an entry went: the encoder's status, or the errno of a file that
// would not open.
struct EntryOutcome {
    lzh::EncodeStatus status = lzh::EncodeStatus::kOk;
    bool opened = true;
    int openError = 0;

    bool ok() const { return opened && status == lzh::EncodeStatus::kOk; }
};

EntryOutcome WriteEntry(lzh::ArchiveWriter& writer, const PlannedEntry& entry, const PackOptions& options,
                        Progress* progress, const std::atomic<bool>* cancel) {
    const lzh::EntryInfo info = InfoOf(entry, options);
    if (entry.file.folder) return {writer.AddFolder(info)};
    FILE* input = OpenInput(entry.file.source);
    if (input == nullptr) return {lzh::EncodeStatus::kReadError, false, errno};
    CountedInput data(input, progress, cancel);
    const lzh::EncodeStatus status = writer.AddFile(info, data);
    std::fclose(input);
    return {status};
}

std::string Describe(const PlannedEntry& entry, const EntryOutcome& outcome) {
    if (!outcome.opened) return entry.file.name + ": cannot open: " + std::strerror(outcome.openError);
    return entry.file.name + ": " + lzh::EncodeStatusText(outcome.status);
}

bool WriteSerially(lzh::ArchiveOutput& output, const ArchivePlan& plan, const PackOptions& options,
                   std::string& error, EntryReport report, void* context, Progress* progress, TaskPool* pool) {
    lzh::ArchiveWriter writer(output, options.encode);
    writer.SetRunner(pool);
    for (const PlannedEntry& entry : plan.entries) {
        const EntryOutcome outcome = WriteEntry(writer, entry, options, progress, nullptr);
        if (!outcome.ok()) {
            error = Describe(entry, outcome);
            return false;
        }
        if (report != nullptr) report(entry, writer.last(), context);
    }
    return true;
}

bool Streamed(const PlannedEntry& entry) {
    return !entry.file.folder && entry.file.size > kBufferedFileLimit;
}

// Bytes of kBufferBudget an entry holds until it is written: its header
// and at most its size of packed data (more would be stored as it is).
uint64_t BufferedBytes(const PlannedEntry& entry) {
    if (Streamed(entry)) return 0;
    return lzh::kMaxEntryHeaderSize + (entry.file.folder ? 0 : entry.file.size);
}

// One entry's header and packed data in memory.
class BufferOutput final : public lzh::ArchiveOutput {
public:
    // Room for `capacity` bytes, so that writing never allocates; false
    // when there is no memory for it.
    bool Start(uint64_t capacity) {
        bytes.clear();
        position_ = 0;
        try {
            bytes.reserve(static_cast<size_t>(capacity));
        } catch (const std::bad_alloc&) {
            return false;
        } catch (const std::length_error&) {
            return false;
        }
        return true;
    }
    bool Write(const uint8_t* data, size_t count) override {
        const size_t over = position_ < bytes.size() ? std::min(count, bytes.size() - position_) : 0;
        std::memcpy(bytes.data() + position_, data, over);
        bytes.insert(bytes.end(), data + over, data + count);
        position_ += count;
        return true;
    }
    bool Seek(uint64_t position) override {
        if (position > bytes.size()) return false;
        position_ = static_cast<size_t>(position);
        return true;
    }
    uint64_t Position() const override { return position_; }

    std::vector<uint8_t> bytes;

private:
    size_t position_ = 0;
};

// Where a worker's writer puts an entry: the worker's buffer, or the
// archive itself for a streamed entry.
class EntryOutput final : public lzh::ArchiveOutput {
public:
    bool Write(const uint8_t* data, size_t count) override { return to->Write(data, count); }
    bool Seek(uint64_t position) override { return to->Seek(position); }
    uint64_t Position() const override { return to->Position(); }

    lzh::ArchiveOutput* to = nullptr;
};

// The workers take the entries in the plan's order, each as the budget of
// buffered bytes has room for it, and compress it into memory; the
// calling thread writes the entries in that order as they are done.  A
// streamed entry's worker waits for its turn and writes into the archive
// itself while the others go on.  The first entry that fails stops the
// workers: their reads fail from then on.
class ParallelWriter {
public:
    ParallelWriter(lzh::ArchiveOutput& output, const ArchivePlan& plan, const PackOptions& options,
                   Progress* progress, TaskPool* pool)
        : output_(output),
          plan_(plan),
          options_(options),
          progress_(progress),
          pool_(pool),
          jobs_(plan.entries.size()) {}

    // False with workers.empty() when no thread could be started.
    bool Run(unsigned threads, std::string& error, EntryReport report, void* context,
             std::vector<std::thread>& workers);

private:
    struct Job {
        bool done = false;
        uint64_t reserved = 0;       // of kBufferBudget
        std::vector<uint8_t> bytes;  // header and packed data, unless streamed
        lzh::EncodedEntry encoded;
        EntryOutcome outcome;
    };

    void Work();
    bool Take(size_t& index);

    lzh::ArchiveOutput& output_;
    const ArchivePlan& plan_;
    const PackOptions& options_;
    Progress* progress_;
    TaskPool* pool_;  // for the streamed entries' segments
    std::vector<Job> jobs_;

    std::mutex mutex_;
    std::condition_variable changed_;
    size_t next_ = 0;  // the next entry to take
    size_t turn_ = 0;  // the entry being written
    uint64_t buffered_ = 0;
    std::atomic<bool> stop_{false};
};

// The next entry, once the budget has room for it; false when there is
// none or the work has stopped.  The entries taken and not yet written
// always follow the one being written, so they come to be written and
// free their room.
bool ParallelWriter::Take(size_t& index) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (stop_ || next_ == jobs_.size()) return false;
        const uint64_t need = BufferedBytes(plan_.entries[next_]);
        if (buffered_ + need <= kBufferBudget) {
            buffered_ += need;
            jobs_[next_].reserved = need;
            index = next_++;
            return true;
        }
        changed_.wait(lock);
    }
}

void ParallelWriter::Work() {
    BufferOutput buffer;
    EntryOutput out;
    lzh::ArchiveWriter writer(out, options_.encode);
    size_t index = 0;
    while (Take(index)) {
        Job& job = jobs_[index];
        const PlannedEntry& entry = plan_.entries[index];
        writer.SetRunner(Streamed(entry) ? pool_ : nullptr);
        if (Streamed(entry)) {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return turn_ == index || stop_; });
            if (turn_ != index) return;
            lock.unlock();
            out.to = &output_;
            job.outcome = WriteEntry(writer, entry, options_, progress_, &stop_);
        } else if (!buffer.Start(job.reserved)) {
            job.outcome.status = lzh::EncodeStatus::kNoMemory;
        } else {
            out.to = &buffer;
            job.outcome = WriteEntry(writer, entry, options_, progress_, &stop_);
            buffer.bytes.resize(static_cast<size_t>(buffer.Position()));
            job.bytes.swap(buffer.bytes);
        }
        job.encoded = writer.last();
        const std::lock_guard<std::mutex> lock(mutex_);
        job.done = true;
        changed_.notify_all();
    }
}

bool ParallelWriter::Run(unsigned threads, std::string& error, EntryReport report, void* context,
                         std::vector<std::thread>& workers) {
    try {
        while (workers.size() < threads) workers.emplace_back(&ParallelWriter::Work, this);
    } catch (const std::system_error&) {
        if (workers.empty()) return false;
    }
    bool written = true;
    for (size_t i = 0; i < jobs_.size(); i++) {
        Job& job = jobs_[i];
        const PlannedEntry& entry = plan_.entries[i];
        {
            std::unique_lock<std::mutex> lock(mutex_);
            turn_ = i;
            changed_.notify_all();
            changed_.wait(lock, [&] { return job.done; });
        }
        if (!job.outcome.ok()) {
            error = Describe(entry, job.outcome);
            written = false;
            break;
        }
        if (!Streamed(entry) && !output_.Write(job.bytes.data(), job.bytes.size())) {
            error = entry.file.name + ": " + lzh::EncodeStatusText(lzh::EncodeStatus::kWriteError);
            written = false;
            break;
        }
        std::vector<uint8_t>().swap(job.bytes);
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            buffered_ -= job.reserved;
            changed_.notify_all();
        }
        if (report != nullptr) report(entry, job.encoded, context);
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        changed_.notify_all();
    }
    for (std::thread& worker : workers) worker.join();
    return written;
}

}  // namespace

bool WriteArchive(FILE* file, const ArchivePlan& plan, const PackOptions& options, std::string& error,
                  EntryReport report, void* context, Progress* progress) {
    lzh::FileOutput output(file);
    lzh::ArchiveWriter writer(output, options.encode);
    if (writer.CheckOptions() != lzh::EncodeStatus::kOk) {
        error = lzh::EncodeStatusText(writer.CheckOptions());
        return false;
    }
    uint64_t total = 0;
    uint64_t longest = 0;
    unsigned files = 0;
    for (const PlannedEntry& entry : plan.entries) {
        if (entry.file.folder) continue;
        total += entry.file.size;
        longest = std::max(longest, entry.file.size);
        files++;
    }
    if (progress != nullptr) progress->Start(total);
    const unsigned threads = std::min(ThreadCount(options), files);
    // A file longer than a segment is compressed on every thread (alone,
    // or while the workers go on with the entries after it).
    std::unique_ptr<TaskPool> pool;
    if (ThreadCount(options) > 1 && longest > lzh::SegmentEncoder::kSegmentSize)
        pool = std::make_unique<TaskPool>(ThreadCount(options));
    bool written = false;
    std::vector<std::thread> workers;
    if (threads > 1)
        written = ParallelWriter(output, plan, options, progress, pool.get())
                      .Run(threads, error, report, context, workers);
    // One thread, or none could be started: entry by entry.
    if (workers.empty())
        written = WriteSerially(output, plan, options, error, report, context, progress, pool.get());
    if (progress != nullptr) progress->Finish();
    if (!written) return false;
    if (writer.Finish() != lzh::EncodeStatus::kOk || std::fflush(file) != 0) {
        error = "write error";
        return false;
    }
    return true;
}

}  // namespace pack
