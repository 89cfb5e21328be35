#include "engine/FitWorker.h"

#include <cmath>

#include "engine/ClusterSolution.h"
#include "engine/ProximityMatrix.h"
#include "engine/SimilarityMatrix.h"

namespace korvana {

namespace {

constexpr int kSpinsBeforeSleep = 1 << 14;

// Values of the moments' claim besides "the next stage to sum".
constexpr int kSumming = 1 << 30;  // flag: the worker is summing that stage's moments
constexpr int kTaken = -1;         // the run has taken the moments over
constexpr int kFailed = -2;        // the worker stopped with an error

}  // namespace

FitWorker::FitWorker(const ProximityMatrix& matrix, SimilarityMatrix& workingMatrix, ClusterSolution& solution)
    : matrix_(matrix),
      workingMatrix_(workingMatrix),
      solution_(solution),
      permutation_(solution.getPermutation().data()),
      n_(solution.getObjectCount()),
      members_(solution.getObjectCount()),
      stages_(static_cast<std::size_t>(solution.getStageCount())) {
  thread_ = std::thread([this] { work(); });
}

FitWorker::~FitWorker() {
  if (!thread_.joinable()) return;
  abandoned_.store(true);
  published_.store(-1);  // a new value, so that a waiting worker wakes and sees the flag
  published_.notify_all();
  thread_.join();
}

int FitWorker::splitRow(int n) { return static_cast<int>(std::lround(n / std::sqrt(2.0))); }

void FitWorker::fill() {
  workingMatrix_.fillRows(matrix_, permutation_, 0, splitRow(n_));
  filled_.wait(false, std::memory_order_acquire);
  if (error_) std::rethrow_exception(error_);
}

void FitWorker::publish(int b, int d, double height) {
  const int t = published_.load(std::memory_order_relaxed);
  stages_[static_cast<std::size_t>(t)] = Stage{b, d, height};
  // Sequentially consistent with the worker's flag and re-check: either the
  // worker sees the new count before it sleeps, or this sees it asleep.
  published_.store(t + 1);
  if (sleeping_.load()) published_.notify_one();
}

void FitWorker::finish() {
  // Take the moments over from the first stage the worker has not summed
  // (waiting while it sums one), and sum them here while it finishes the
  // other share.
  int first = -1;
  for (;;) {
    int claim = momentsClaim_.load(std::memory_order_acquire);
    if (claim == kFailed) break;
    if (claim & kSumming) {
      __builtin_ia32_pause();
      continue;
    }
    if (momentsClaim_.compare_exchange_weak(claim, kTaken, std::memory_order_acq_rel)) {
      first = claim;
      break;
    }
  }
  if (first >= 0) {
    MemberLists members(n_);
    const int stageCount = static_cast<int>(stages_.size());
    for (int t = 0; t < stageCount; ++t) {
      const Stage& stage = stages_[static_cast<std::size_t>(t)];
      if (t >= first)
        solution_.accumulateFit(t, stage.b, stage.d, matrix_, members, stage.height, FitShare::moments);
      members.join(stage.d, stage.b);
    }
  }
  thread_.join();
  if (error_) std::rethrow_exception(error_);
  if (!stages_.empty()) solution_.computeCorrelation();
}

void FitWorker::work() {
  try {
    workingMatrix_.fillRows(matrix_, permutation_, splitRow(n_), n_);
  } catch (...) {
    error_ = std::current_exception();
  }
  if (error_) momentsClaim_.store(kFailed, std::memory_order_release);
  filled_.store(true, std::memory_order_release);
  filled_.notify_one();
  if (error_) return;
  bool summingMoments = true;
  try {
    const int stageCount = static_cast<int>(stages_.size());
    for (int t = 0; t < stageCount; ++t) {
      // Stages come every few microseconds: spin for a while, and sleep
      // only when the run falls silent for longer.
      int spins = 0;
      for (int seen = published_.load(std::memory_order_acquire); seen <= t;
           seen = published_.load(std::memory_order_acquire)) {
        if (abandoned_.load()) return;
        if (++spins < kSpinsBeforeSleep) {
          __builtin_ia32_pause();
          continue;
        }
        sleeping_.store(true);
        if (published_.load() == seen && !abandoned_.load()) published_.wait(seen);
        sleeping_.store(false);
      }
      const Stage& stage = stages_[static_cast<std::size_t>(t)];
      solution_.accumulateFit(t, stage.b, stage.d, matrix_, members_, stage.height,
                              FitShare::differencesAndProducts);
      // The moments too, while the run is busy merging.
      int claim = t;
      if (summingMoments && momentsClaim_.compare_exchange_strong(claim, t | kSumming, std::memory_order_acq_rel)) {
        try {
          solution_.accumulateFit(t, stage.b, stage.d, matrix_, members_, stage.height, FitShare::moments);
        } catch (...) {
          momentsClaim_.store(kFailed, std::memory_order_release);
          throw;
        }
        momentsClaim_.store(t + 1, std::memory_order_release);
      } else {
        summingMoments = false;
      }
      members_.join(stage.d, stage.b);
    }
  } catch (...) {
    error_ = std::current_exception();
    int claim = momentsClaim_.load(std::memory_order_acquire);
    if (claim != kTaken) momentsClaim_.compare_exchange_strong(claim, kFailed, std::memory_order_acq_rel);
  }
}

}  // namespace korvana
