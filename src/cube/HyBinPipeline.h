// The bin table's load on two cores: the calling thread reads the dataset
// into batches of packed rows (the dataset, the user's callbacks and the
// progress dialog stay on it), a worker thread turns the batches into bins.
// A few batches circulate between the two, so memory stays fixed.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace hy {

class TBatchPipeline {
public:
  // Consumes `count` rows of `rows` on the worker; may raise, which stops
  // the worker and reaches the reader at its next call.
  using TConsume = std::function<void(const uint8_t* rows, int32_t count)>;

  // `batches` buffers of `batchBytes` each; starts the worker.
  TBatchPipeline(size_t batchBytes, int32_t batches, TConsume consume);
  // Stops the worker at its next batch and waits for it: a failed or
  // cancelled read leaves nothing running.
  ~TBatchPipeline();
  TBatchPipeline(const TBatchPipeline&) = delete;
  TBatchPipeline& operator=(const TBatchPipeline&) = delete;

  // A batch to fill, once the worker has given one back; raises the
  // worker's error when it failed.
  uint8_t* Free();
  // Hands the batch of the last Free() to the worker.
  void Submit(int32_t count);
  // Waits until every batch is consumed and the worker has ended; raises
  // the worker's error when it failed.
  void Finish();

private:
  struct TBatch {
    std::vector<uint8_t> rows;
    int32_t count = 0;
  };

  void Work();
  void Stop();
  // Under the lock: the worker's error, raised on the reader.
  void RaiseFailure(std::unique_lock<std::mutex>& lock);

  TConsume consume_;
  std::vector<TBatch> batches_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<TBatch*> full_;
  std::vector<TBatch*> free_;
  TBatch* filling_ = nullptr;
  bool done_ = false;  // the reader has no more batches
  bool stop_ = false;  // the worker ends at its next batch
  std::exception_ptr failure_;
  std::thread worker_;
};

}  // namespace hy
