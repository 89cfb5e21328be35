#include "batch/MpiRun.h"

#include <mpi.h>
#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <initializer_list>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "common/ByteCodec.h"
#include "common/EKorvanaError.h"
#include "common/TriangularStorage.h"
#include "datafile/ProximityMatrixFile.h"
#include "engine/ClusterMethod.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/ProgressMonitor.h"
#include "engine/ProximityMatrix.h"
#include "engine/SharedRun.h"
#include "engine/StabilityWatch.h"
#include "output/Newick.h"

namespace korvana::mpi {

namespace {

enum Tag : int { kProgress = 11, kCancel = 12, kResultHead = 13, kResultBody = 14 };
enum ResultKind : std::int64_t { kResults = 0, kFailedPermutation = 1, kFailed = 2 };

constexpr std::size_t kChunk = std::size_t{1} << 30;  // bytes per message: MPI counts are ints

/// What rank 0 tells the others before the permutations.
struct Header {
  std::int32_t go = 0;
  std::int32_t fromData = 0;
  std::int32_t permutationCount = 0;
  std::int32_t identity = 0;
  std::int32_t seed = 0;
  std::int32_t tally = 0;
  std::int32_t trees = 0;  // each permutation's hierarchy as a line of Newick
  std::int32_t stable = 0;  // the window of a run that stops when stable; 0: none
};

/// A run that stops when stable goes in rounds, so that rank 0 can decide
/// the stop in permutation order between them: each round the ranks run
/// their shares of permutations start … end − 1.
struct Round {
  std::int32_t go = 0;
  std::int32_t start = 0;
  std::int32_t end = 0;
};

/// The MD5 digest (16 bytes) of the parts, in order.
std::string md5Digest(std::initializer_list<std::string_view> parts) {
  const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  bool ok = context && EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) == 1;
  for (const std::string_view part : parts) ok = ok && EVP_DigestUpdate(context.get(), part.data(), part.size()) == 1;
  unsigned char bytes[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!ok || EVP_DigestFinal_ex(context.get(), bytes, &length) != 1 || length != 16)
    throw EKorvanaError("The MD5 digest that compares the ranks' inputs could not be computed");
  return std::string(reinterpret_cast<const char*>(bytes), length);
}

std::string matrixDigest(const ProximityMatrix& matrix) {
  ByteWriter description;
  matrix.encodeDescription(description);
  return md5Digest({{description.bytes().data(), description.bytes().size()},
                    {reinterpret_cast<const char*>(matrix.lowerTriangle()),
                     TriangularStorage::offset(matrix.getNumberOfObjects()) * sizeof(double)}});
}

void broadcast(char* data, std::size_t size) {
  for (std::size_t at = 0; at < size; at += kChunk)
    MPI_Bcast(data + at, static_cast<int>(std::min(kChunk, size - at)), MPI_BYTE, 0, MPI_COMM_WORLD);
}

void broadcastBytes(std::vector<char>& bytes) {
  std::uint64_t size = bytes.size();
  MPI_Bcast(&size, 1, MPI_UINT64_T, 0, MPI_COMM_WORLD);
  bytes.resize(static_cast<std::size_t>(size));
  broadcast(bytes.data(), bytes.size());
}

void sendBytes(const std::vector<char>& bytes, int to) {
  for (std::size_t at = 0; at < bytes.size(); at += kChunk)
    MPI_Send(bytes.data() + at, static_cast<int>(std::min(kChunk, bytes.size() - at)), MPI_BYTE, to, kResultBody,
             MPI_COMM_WORLD);
}

std::vector<char> receiveBytes(std::size_t size, int from) {
  std::vector<char> bytes(size);
  for (std::size_t at = 0; at < size; at += kChunk)
    MPI_Recv(bytes.data() + at, static_cast<int>(std::min(kChunk, size - at)), MPI_BYTE, from, kResultBody,
             MPI_COMM_WORLD, MPI_STATUS_IGNORE);
  return bytes;
}

/// Rank 0's progress: its own permutations as they pass and the other ranks'
/// as they report them, on the one display; a cancellation is passed on.
class CombinedProgress final : public ProgressMonitor {
 public:
  CombinedProgress(ProgressMonitor& shown, int ranks, int total, std::atomic<bool>& canceled)
      : shown_(shown),
        passed_(static_cast<std::size_t>(ranks), 0),
        received_(static_cast<std::size_t>(ranks), 0),
        total_(total),
        canceled_(canceled) {}

  void setSteps(const std::vector<std::string>&) override {}
  void setStep(int, int, int) override {}
  void setStatus(const std::string&) override {}
  void stepIt() override { advance(0, passed_[0] + 1); }
  bool isCanceled() override {
    poll();
    if (shown_.isCanceled()) canceled_.store(true);
    if (canceled_.load() && !cancelSent_) {
      cancelSent_ = true;
      for (std::size_t rank = 1; rank < passed_.size(); ++rank)
        MPI_Send(nullptr, 0, MPI_BYTE, static_cast<int>(rank), kCancel, MPI_COMM_WORLD);
    }
    return canceled_.load();
  }
  void showProgress() override {}
  void hideProgress() override {}
  void processMessages() override {
    poll();
    shown_.processMessages();
  }

  /// Takes in the progress reports waiting.
  void poll() {
    int waiting = 0;
    MPI_Status status;
    while (MPI_Iprobe(MPI_ANY_SOURCE, kProgress, MPI_COMM_WORLD, &waiting, &status) == MPI_SUCCESS && waiting)
      take(status.MPI_SOURCE);
  }
  /// Takes in a rank's reports until `reports` have come, once its results
  /// say how many it sent.
  void drain(int rank, std::int64_t reports) {
    while (received_[static_cast<std::size_t>(rank)] < reports) take(rank);
  }

 private:
  void take(int rank) {
    int passed = 0;
    MPI_Recv(&passed, 1, MPI_INT, rank, kProgress, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    ++received_[static_cast<std::size_t>(rank)];
    advance(static_cast<std::size_t>(rank), passed);
  }

  void advance(std::size_t rank, int passed) {
    while (passed_[rank] < passed) {
      ++passed_[rank];
      ++sum_;
      shown_.setStatus("Passed permutations " + std::to_string(sum_) + "/" + std::to_string(total_));
      shown_.stepIt();
    }
  }

  ProgressMonitor& shown_;
  std::vector<int> passed_;
  std::vector<std::int64_t> received_;  // progress reports taken in, per rank
  int total_;
  int sum_ = 0;
  std::atomic<bool>& canceled_;
  bool cancelSent_ = false;

 public:
  bool cancelSent() const { return cancelSent_; }
};

/// Another rank's progress: reported to rank 0 at most ten times a second,
/// and a cancellation from rank 0 taken in.
class ReportedProgress final : public ProgressMonitor {
 public:
  explicit ReportedProgress(std::atomic<bool>& canceled) : canceled_(canceled) {}
  ~ReportedProgress() override { settle(); }

  void setSteps(const std::vector<std::string>&) override {}
  void setStep(int, int, int) override {}
  void setStatus(const std::string&) override {}
  void stepIt() override {
    ++passed_;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastReport_ < std::chrono::milliseconds(100)) return;
    report();
    lastReport_ = now;
  }
  bool isCanceled() override {
    int waiting = 0;
    MPI_Iprobe(0, kCancel, MPI_COMM_WORLD, &waiting, MPI_STATUS_IGNORE);
    if (waiting) takeCancel();
    return canceled_.load();
  }
  /// Rank 0's word that the run is canceled.
  void takeCancel() {
    MPI_Recv(nullptr, 0, MPI_BYTE, 0, kCancel, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    cancelTaken_ = true;
    canceled_.store(true);
  }
  bool cancelTaken() const { return cancelTaken_; }
  void showProgress() override {}
  void hideProgress() override {}
  /// The last count, before the results go.
  void finish() {
    report();
    settle();
  }
  /// How many reports went to rank 0, which takes them all in.
  int reports() const { return reports_; }

 private:
  void report() {
    settle();
    sent_ = passed_;
    MPI_Isend(&sent_, 1, MPI_INT, 0, kProgress, MPI_COMM_WORLD, &request_);
    pending_ = true;
    ++reports_;
  }
  void settle() {
    if (pending_) MPI_Wait(&request_, MPI_STATUS_IGNORE);
    pending_ = false;
  }

  std::atomic<bool>& canceled_;
  int passed_ = 0;
  int sent_ = 0;
  int reports_ = 0;
  bool pending_ = false;
  bool cancelTaken_ = false;
  MPI_Request request_{};
  std::chrono::steady_clock::time_point lastReport_{};
};

}  // namespace

bool launched() {
  for (const char* variable : {"OMPI_COMM_WORLD_SIZE", "PMI_SIZE", "PMIX_RANK"})
    if (const char* value = std::getenv(variable); value != nullptr && value[0] != '\0') return true;
  return false;
}

Session::Session(int* argc, char*** argv) {
  int provided = 0;
  MPI_Init_thread(argc, argv, MPI_THREAD_FUNNELED, &provided);
  MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
  MPI_Comm_size(MPI_COMM_WORLD, &size_);
}

Session::~Session() { MPI_Finalize(); }

bool Session::agree(const std::string& problem) {
  int ok = problem.empty() ? 1 : 0;
  std::vector<int> all(static_cast<std::size_t>(size_));
  MPI_Gather(&ok, 1, MPI_INT, all.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);
  // The problems travel to rank 0, which names the rank of each.
  int length = static_cast<int>(problem.size());
  std::vector<int> lengths(static_cast<std::size_t>(size_));
  MPI_Gather(&length, 1, MPI_INT, lengths.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);
  std::vector<int> offsets(static_cast<std::size_t>(size_), 0);
  int total = 0;
  for (int r = 0; rank_ == 0 && r < size_; ++r) {
    offsets[static_cast<std::size_t>(r)] = total;
    total += lengths[static_cast<std::size_t>(r)];
  }
  std::vector<char> text(static_cast<std::size_t>(std::max(total, 1)));
  MPI_Gatherv(problem.data(), length, MPI_CHAR, text.data(), lengths.data(), offsets.data(), MPI_CHAR, 0,
              MPI_COMM_WORLD);
  int everyone = 1;
  if (rank_ == 0) {
    for (int r = 0; r < size_; ++r) {
      if (all[static_cast<std::size_t>(r)] != 0) continue;
      everyone = 0;
      if (r > 0)
        std::fprintf(stderr, "korvana-batch: rank %d: %.*s\n", r, lengths[static_cast<std::size_t>(r)],
                     text.data() + offsets[static_cast<std::size_t>(r)]);
    }
  }
  MPI_Bcast(&everyone, 1, MPI_INT, 0, MPI_COMM_WORLD);
  return everyone != 0;
}

bool Session::same(const std::string& text) { return sameDigest(md5Digest({text})); }

bool Session::sameDigest(const std::string& digest) {
  std::vector<char> all(static_cast<std::size_t>(size_) * digest.size());
  MPI_Gather(digest.data(), static_cast<int>(digest.size()), MPI_BYTE, all.data(), static_cast<int>(digest.size()),
             MPI_BYTE, 0, MPI_COMM_WORLD);
  int everyone = 1;
  for (int r = 1; rank_ == 0 && r < size_; ++r)
    everyone = everyone && std::string_view(all.data() + r * digest.size(), digest.size()) == digest;
  MPI_Bcast(&everyone, 1, MPI_INT, 0, MPI_COMM_WORLD);
  return everyone != 0;
}

void Session::releaseWorkers() {
  if (started_ || rank_ != 0) return;
  started_ = true;
  Header header;
  MPI_Bcast(&header, sizeof header, MPI_BYTE, 0, MPI_COMM_WORLD);
}

ClusterAnalysis::PermutationRunner Session::coordinator(bool fromData, std::atomic<bool>& canceled) {
  return [this, fromData, &canceled](const ProximityMatrix& matrix, ClusterMethod& method,
                                     const PermutationSettings& settings, ProgressMonitor& progress) {
    started_ = true;
    Header header{1, fromData ? 1 : 0, settings.permutationCount, settings.firstPermutationIsIdentity ? 1 : 0,
                  settings.seed, settings.tallyClusters ? 1 : 0, settings.describe ? 1 : 0, settings.stopWhenStable};
    MPI_Bcast(&header, sizeof header, MPI_BYTE, 0, MPI_COMM_WORLD);
    if (fromData) {
      ByteWriter description;
      matrix.encodeDescription(description);
      broadcastBytes(description.bytes());
      broadcast(const_cast<char*>(reinterpret_cast<const char*>(matrix.lowerTriangle())),
                TriangularStorage::offset(matrix.getNumberOfObjects()) * sizeof(double));
    }
    if (!agree("")) throw EKorvanaError("Not every rank of the job has the proximity matrix (see above)");
    if (!sameDigest(matrixDigest(matrix)))
      throw EKorvanaError("The ranks of the job read different proximity matrices: was the file changed while the "
                          "job started?");

    CombinedProgress combined(progress, size_, settings.permutationCount, canceled);
    std::vector<PermutationResults> shares;
    std::optional<std::pair<int, std::string>> failure;  // the earliest failing permutation
    std::exception_ptr otherError;
    const bool inRounds = settings.stopWhenStable > 0;
    // Rounds of four permutations per job of every rank: few enough that
    // little work is done past the stop, enough that the ranks stay busy.
    const int roundSize = inRounds ? std::max(1, size_ * std::max(settings.jobs, 1) * 4) : settings.permutationCount;
    std::optional<StabilityWatch> watch;
    if (inRounds) watch.emplace(settings.stopWhenStable);
    int limit = std::numeric_limits<int>::max();
    for (int start = 0; start < settings.permutationCount; start += roundSize) {
      const int end = std::min(settings.permutationCount, start + roundSize);
      if (inRounds) {
        Round round{1, start, end};
        MPI_Bcast(&round, sizeof round, MPI_BYTE, 0, MPI_COMM_WORLD);
      }
      const std::size_t first = shares.size();
      PermutationSettings share = settings;
      share.shareCount = size_;
      share.shareIndex = 0;
      share.firstIndex = start;
      share.permutationCount = end;
      share.abandon = &canceled;
      try {
        shares.push_back(runPermutations(matrix, method, share, combined));
      } catch (const EPermutationFailed& error) {
        failure.emplace(error.index(), error.what());
      } catch (...) {
        otherError = std::current_exception();
      }
      // Every other rank sends its results (or its failure); they are taken
      // in even when this rank failed, so that no rank waits forever.
      for (int waiting = size_ - 1; waiting > 0;) {
        int ready = 0;
        MPI_Status status;
        MPI_Iprobe(MPI_ANY_SOURCE, kResultHead, MPI_COMM_WORLD, &ready, &status);
        if (!ready) {
          combined.processMessages();
          combined.isCanceled();
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
          continue;
        }
        std::int64_t head[3] = {0, 0, 0};
        MPI_Recv(head, 3, MPI_INT64_T, status.MPI_SOURCE, kResultHead, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
        combined.drain(status.MPI_SOURCE, head[2]);
        std::uint64_t size = 0;
        MPI_Recv(&size, 1, MPI_UINT64_T, status.MPI_SOURCE, kResultBody, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
        const std::vector<char> body = receiveBytes(static_cast<std::size_t>(size), status.MPI_SOURCE);
        --waiting;
        const std::string text(body.begin(), body.end());
        if (head[0] == kResults) {
          shares.push_back(decodeShare(body, settings.permutationCount));
        } else if (head[0] == kFailedPermutation) {
          if (!failure || head[1] < failure->first) failure.emplace(static_cast<int>(head[1]), text);
        } else if (!otherError) {
          otherError = std::make_exception_ptr(EKorvanaError("rank " + std::to_string(status.MPI_SOURCE) + ": " + text));
        }
      }
      // Whether a cancellation went out: the ranks that did not take it in
      // before their results went take it now.
      int cancelSent = combined.cancelSent() ? 1 : 0;
      MPI_Bcast(&cancelSent, 1, MPI_INT, 0, MPI_COMM_WORLD);
      if (failure || otherError || canceled.load() || !inRounds) break;
      // The stop rule over this round's permutations, in order.
      std::vector<std::pair<double, HierarchyId>> round(static_cast<std::size_t>(end - start));
      std::vector<bool> seen(round.size(), false);
      for (std::size_t s = first; s < shares.size(); ++s)
        for (const int k : shares[s].completedIndices) {
          const auto at = static_cast<std::size_t>(k - start);
          round[at] = {shares[s].records.fitValues[static_cast<std::size_t>(k)],
                       shares[s].records.hierarchyIds[static_cast<std::size_t>(k)]};
          seen[at] = true;
        }
      bool stop = false;
      for (int k = start; k < end && !stop; ++k) {
        const auto at = static_cast<std::size_t>(k - start);
        if (!seen[at]) {
          stop = true;  // a gap: a rank stopped early
          break;
        }
        if (watch->take(k, round[at].first, round[at].second)) {
          limit = k + 1;
          stop = true;
        }
      }
      if (stop) break;
    }
    if (inRounds) {
      Round done;
      MPI_Bcast(&done, sizeof done, MPI_BYTE, 0, MPI_COMM_WORLD);
    }
    if (failure) throw EPermutationFailed(failure->first, failure->second);
    if (otherError) std::rethrow_exception(otherError);
    return mergeShares(std::move(shares), matrix, method, settings, limit);
  };
}

int Session::serve(const AnalysisRequest& request, int jobs, std::atomic<bool>& canceled) {
  Header header;
  MPI_Bcast(&header, sizeof header, MPI_BYTE, 0, MPI_COMM_WORLD);
  if (!header.go) return 1;  // rank 0's analysis ended before the permutations

  ProximityMatrix matrix;
  std::string problem;
  if (header.fromData) {
    std::vector<char> description;
    broadcastBytes(description);
    ByteReader in(description.data(), description.size());
    matrix.decodeDescription(in);
    broadcast(reinterpret_cast<char*>(matrix.lowerTriangle()),
              TriangularStorage::offset(matrix.getNumberOfObjects()) * sizeof(double));
    matrix.computeSumOfSquares();
  } else if (!loadProximityMatrix(request.matrixFilename, matrix)) {
    problem = "the proximity matrix '" + request.matrixFilename + "' could not be loaded";
  }
  if (!agree(problem)) return 1;
  if (!sameDigest(matrixDigest(matrix))) return 1;

  const auto methods = ClusterMethodFactory::getClusterMethods();
  ClusterMethod& method = *methods.at(static_cast<std::size_t>(request.clusterMethod));
  PermutationSettings share;
  share.permutationCount = header.permutationCount;
  share.firstPermutationIsIdentity = header.identity != 0;
  share.seed = header.seed;
  share.jobs = jobs;
  share.tallyClusters = header.tally != 0;
  if (header.trees != 0)
    share.describe = [&matrix](const ClusterSolution& solution) {
      return hierarchyNewickOf(solution, matrix, foldedStages(solution)) + "\n";
    };
  share.shareCount = size_;
  share.shareIndex = rank_;
  share.abandon = &canceled;

  // One share of the whole run, or of each round until rank 0 says done.
  int status = 0;
  ReportedProgress progress(canceled);
  for (;;) {
    if (header.stable != 0) {
      Round round;
      MPI_Bcast(&round, sizeof round, MPI_BYTE, 0, MPI_COMM_WORLD);
      if (!round.go) break;
      share.firstIndex = round.start;
      share.permutationCount = round.end;
    }
    std::int64_t head[3] = {kResults, 0, 0};
    std::vector<char> body;
    try {
      PermutationResults results = runPermutations(matrix, method, share, progress);
      // A stopped run's counts cover permutations past the common prefix:
      // they are not sent (rank 0 has little time before the job ends).
      if (canceled.load()) {
        results.tally = ClusterTally{};
        results.hierarchyTally = ClusterTally{};
        results.tallyComplete = false;
      }
      body = encodeShare(results);
    } catch (const EPermutationFailed& error) {
      head[0] = kFailedPermutation;
      head[1] = error.index();
      body.assign(error.what(), error.what() + std::string(error.what()).size());
      status = 1;
    } catch (const std::exception& error) {
      head[0] = kFailed;
      body.assign(error.what(), error.what() + std::string(error.what()).size());
      status = 1;
    }
    progress.finish();
    head[2] = progress.reports();
    MPI_Send(head, 3, MPI_INT64_T, 0, kResultHead, MPI_COMM_WORLD);
    std::uint64_t size = body.size();
    MPI_Send(&size, 1, MPI_UINT64_T, 0, kResultBody, MPI_COMM_WORLD);
    sendBytes(body, 0);
    int cancelSent = 0;
    MPI_Bcast(&cancelSent, 1, MPI_INT, 0, MPI_COMM_WORLD);
    if (cancelSent && !progress.cancelTaken()) progress.takeCancel();
    if (header.stable == 0) break;
  }
  return status;
}

}  // namespace korvana::mpi
