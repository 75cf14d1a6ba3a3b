#include "cube/HyBinPipeline.h"

#include <utility>

namespace hy {

TBatchPipeline::TBatchPipeline(size_t batchBytes, int32_t batches, TConsume consume)
    : consume_(std::move(consume)), batches_(static_cast<size_t>(batches)) {
  for (TBatch& batch : batches_) {
    batch.rows.resize(batchBytes);
    free_.push_back(&batch);
  }
  worker_ = std::thread([this] { Work(); });
}

TBatchPipeline::~TBatchPipeline() { Stop(); }

void TBatchPipeline::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void TBatchPipeline::RaiseFailure(std::unique_lock<std::mutex>& lock) {
  if (!failure_) return;
  std::exception_ptr failure = failure_;
  lock.unlock();
  std::rethrow_exception(failure);
}

uint8_t* TBatchPipeline::Free() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !free_.empty() || failure_; });
  RaiseFailure(lock);
  filling_ = free_.back();
  free_.pop_back();
  return filling_->rows.data();
}

void TBatchPipeline::Submit(int32_t count) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    filling_->count = count;
    full_.push_back(filling_);
    filling_ = nullptr;
  }
  changed_.notify_all();
}

void TBatchPipeline::Finish() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    done_ = true;
  }
  changed_.notify_all();
  worker_.join();
  std::unique_lock<std::mutex> lock(mutex_);
  RaiseFailure(lock);
}

void TBatchPipeline::Work() {
  for (;;) {
    TBatch* batch;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return stop_ || !full_.empty() || done_; });
      if (stop_ || full_.empty()) return;
      batch = full_.front();
      full_.pop_front();
    }
    try {
      consume_(batch->rows.data(), batch->count);
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      failure_ = std::current_exception();
      changed_.notify_all();
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      free_.push_back(batch);
    }
    changed_.notify_all();
  }
}

}  // namespace hy
