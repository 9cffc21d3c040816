// The random stream of the simulations: a lagged-Fibonacci generator of
// uniform deviates on the grid of multiples of 2^-52 (long lag 100, short lag
// 37, batches of 1009 values of which the first 100 are served). A stream
// that nothing seeded seeds itself with 314159 on first use, so the same
// calls always draw the same deviates.
#pragma once

namespace contmon {

/// The seed a stream starts from when nothing seeded it.
inline constexpr int kDefaultSeed = 314159;

/// One stream of deviates. Streams are independent values: copy one to draw the same deviates twice.
class RandomStream {
 public:
  /// A stream that seeds itself with kDefaultSeed on first use.
  RandomStream() { buf_[kLongLag] = -1.0; }

  /// A stream seeded with seed (RanStart).
  explicit RandomStream(int seed) : RandomStream() { RanStart(seed); }

  /// Reinitialises the stream from the low 30 bits of seed.
  void RanStart(int seed);

  /// Writes the next n values of the sequence into aa[0..n-1]; for n < 100 writes -infinity instead and leaves
  /// the stream alone.
  void RanUniArray(double aa[], int n);

  /// The next uniform deviate in [0, 1).
  double RanUni() {
    const double v = buf_[pos_];
    if (v >= 0.0) {
      ++pos_;
      return v;
    }
    return refill();
  }

  /// Number of deviates served since the stream was last seeded.
  long long drawn() const;

 private:
  friend struct StreamAccess;  // the event-bit reader moves the stream along in bulk
  static constexpr int kLongLag = 100;
  static constexpr int kBatchLength = 1009;

  double refill();
  int pending() const;

  double ran_u_[kLongLag] = {};  // the last 100 values of the sequence
  double buf_[kBatchLength + 1] = {};  // the batch served from; buf_[100] is -1, which ends a batch
  int pos_ = kLongLag;                 // the next value served is buf_[pos_]
  bool not_ready_ = true;
  long long refills_ = 0;  // batches started since the last seeding
};

}  // namespace contmon
