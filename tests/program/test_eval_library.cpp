// Numeric library functions: arithmetic rules, logical and bit operations, angles, RND.
#include <bit>
#include <cmath>
#include <cstdint>

#include "test_eval_library_fixture.h"

namespace {

constexpr int32_t CHS = 15, SIN = 16, COS = 17, TAN = 18, COT = 19, ATAN = 20, SQRT = 21, ACOS = 22,
                  MIN = 23, MAX = 24, MOD = 26, ABS = 27, ATAN2 = 28, RND = 29, NINT = 35, IAND = 36,
                  IOR = 37, IXOR = 38, AND = 39, OR = 40, NOT = 41, XOR = 42, EQV = 43, LOG = 44,
                  EXP = 45, RAD = 46, DEG = 47;

// Distance in units in the last place between two finite floats of the same sign.
int64_t ulps(float a, float b) {
  return std::llabs(static_cast<int64_t>(std::bit_cast<int32_t>(a)) - std::bit_cast<int32_t>(b));
}

TEST_F(EvalLibrary, ModSignRulesAndZeroDivisor) {
  EXPECT_EQ(f2(MOD, 7, 3), 1.0f);
  EXPECT_EQ(f2(MOD, -7, 3), 2.0f);
  EXPECT_EQ(f2(MOD, 7, -3), 1.0f);
  EXPECT_EQ(f2(MOD, -7, -3), -4.0f);
  EXPECT_EQ(f2(MOD, 7.5f, 2), 1.5f);
  EXPECT_EQ(f2(MOD, 7, 0), 0.0f);
  EXPECT_EQ(f2(MOD, 0, 0), 0.0f);
}

TEST_F(EvalLibrary, DomainEdgesGiveDefinedResults) {
  EXPECT_EQ(f1(SQRT, -4), 0.0f);
  EXPECT_EQ(f1(SQRT, 0), 0.0f);
  EXPECT_EQ(f1(SQRT, 16), 4.0f);
  EXPECT_EQ(f1(SQRT, NAN), 0.0f);
  EXPECT_EQ(f1(COT, 0), 0.0f);
  EXPECT_TRUE(std::isnan(f1(ACOS, 1.5f)));
  EXPECT_TRUE(std::isnan(f1(ACOS, -2.0f)));
  EXPECT_EQ(f1(ACOS, -1.0000001f), std::acos(-1.0f));
  EXPECT_EQ(f1(ACOS, NAN), 0.0f);
  EXPECT_EQ(f1(ACOS, 1), 0.0f);
}

TEST_F(EvalLibrary, TranscendentalsWithinOneUlp) {
  const float xs[] = {0.1f, 0.5f, 1.0f, 1.3f, 2.0f, 3.0f, 10.0f};
  for (float x : xs) {
    EXPECT_LE(ulps(f1(SIN, x), static_cast<float>(std::sin(static_cast<double>(x)))), 1) << x;
    EXPECT_LE(ulps(std::fabs(f1(COS, x)), static_cast<float>(std::fabs(std::cos(static_cast<double>(x))))), 1) << x;
    EXPECT_LE(ulps(std::fabs(f1(TAN, x)), static_cast<float>(std::fabs(std::tan(static_cast<double>(x))))), 1) << x;
    EXPECT_LE(ulps(f1(ATAN, x), static_cast<float>(std::atan(static_cast<double>(x)))), 1) << x;
    EXPECT_LE(ulps(std::fabs(f1(LOG, x)), static_cast<float>(std::fabs(std::log(static_cast<double>(x))))), 1) << x;
    EXPECT_LE(ulps(f1(EXP, x), static_cast<float>(std::exp(static_cast<double>(x)))), 1) << x;
    EXPECT_LE(ulps(f1(SQRT, x), static_cast<float>(std::sqrt(static_cast<double>(x)))), 0) << x;
    EXPECT_LE(ulps(std::fabs(f1(COT, x)), static_cast<float>(std::fabs(1.0 / std::tan(static_cast<double>(x))))), 2) << x;
  }
  EXPECT_LE(ulps(f1(ACOS, 0.5f), static_cast<float>(std::acos(0.5))), 1);
  EXPECT_LE(ulps(f2(ATAN2, 1, -1), static_cast<float>(std::atan2(1.0, -1.0))), 1);
  // ATAN2(a, b) is the angle of the point (x = b, y = a).
  EXPECT_GT(f2(ATAN2, 1, -1), 2.0f);
  EXPECT_LT(f2(ATAN2, -1, 1), 0.0f);
}

TEST_F(EvalLibrary, SimpleArithmeticExact) {
  EXPECT_EQ(f1(CHS, 2.5f), -2.5f);
  EXPECT_FALSE(std::signbit(f1(CHS, 0.0f)));  // 0 - 0 is +0
  EXPECT_EQ(f1(ABS, -3.25f), 3.25f);
  EXPECT_FALSE(std::signbit(f1(ABS, -0.0f)));
  EXPECT_EQ(f2(MIN, 3, -2), -2.0f);
  EXPECT_EQ(f2(MAX, 3, -2), 3.0f);
}

TEST_F(EvalLibrary, AnglesUseTheTruncatedPi) {
  const float pi = std::bit_cast<float>(0x40490FDAu);
  EXPECT_EQ(f1(RAD, 90), 90.0f / 180.0f * pi);
  EXPECT_EQ(f1(DEG, 1), 1.0f * 180.0f / pi);
  EXPECT_EQ(f1(RAD, 180), pi);
  EXPECT_EQ(f1(DEG, pi), 180.0f);
}

TEST_F(EvalLibrary, LogicalOperations) {
  EXPECT_EQ(f1(NOT, 0.4f), 1.0f);
  EXPECT_EQ(f1(NOT, 0.6f), 0.0f);
  EXPECT_EQ(f1(NOT, -0.5f), 0.0f);  // NINT(-0.5) is -1
  EXPECT_EQ(f2(AND, 0.4f, 1), 1.0f);
  EXPECT_EQ(f2(AND, 0, 1), 0.0f);
  EXPECT_EQ(f2(OR, 0, 0), 0.0f);
  EXPECT_EQ(f2(OR, 0, -2), 1.0f);
  EXPECT_EQ(f2(XOR, 1, 0), 1.0f);
  EXPECT_EQ(f2(XOR, 1, 2), 0.0f);
  EXPECT_EQ(f2(EQV, 0, 0), 1.0f);
  EXPECT_EQ(f2(EQV, 3, 0), 0.0f);
  EXPECT_EQ(f2(EQV, 3, 0.1f), 1.0f);
}

TEST_F(EvalLibrary, BitOperationsOnNearestIntegers) {
  EXPECT_EQ(f2(IAND, 6, 3), 2.0f);
  EXPECT_EQ(f2(IOR, 6, 3), 7.0f);
  EXPECT_EQ(f2(IXOR, 6, 3), 5.0f);
  EXPECT_EQ(f2(IAND, 5.5f, 6.4f), 6.0f);  // 6 AND 6
  EXPECT_EQ(f2(IAND, -1, 255), 255.0f);
  EXPECT_EQ(f2(IOR, 1e20f, 0), 2147483647.0f);  // clamped, not undefined
}

TEST_F(EvalLibrary, NintKeepsTheTypeWord) {
  reset_evaluator();
  push_text("abc");
  evaluator.top().set_value(2.5f);
  run(NINT);
  EXPECT_EQ(top_value(), 3.0f);
  EXPECT_EQ(top_type(), 3);
  EXPECT_EQ(f1(NINT, -2.5f), -3.0f);
  EXPECT_EQ(f1(NINT, 1e20f), 1e20f);
  EXPECT_EQ(f1(NINT, NAN), 0.0f);
}

// The generator written out with 64-bit products instead of Schrage's method.
struct reference_generator {
  int64_t s1, s2;
  float next() {
    s1 = s1 * 40014 % 2147483563;
    s2 = s2 * 40692 % 2147483399;
    int64_t z = s1 - s2;
    if (z < 1) z += 2147483562;
    return static_cast<float>(static_cast<double>(z) * 4.656613e-10);
  }
};

TEST_F(EvalLibrary, RndFollowsTheCombinedGenerator) {
  seed_random(12345u, 67890u);
  reference_generator ref{12345, 67890};
  for (int i = 0; i < 1000; ++i) {
    reset_evaluator();
    run(RND);
    ASSERT_EQ(evaluator.sp, 1);
    const float v = top_value();
    ASSERT_EQ(v, ref.next()) << i;
    ASSERT_GT(v, 0.0f);
    ASSERT_LT(v, 1.0f);
  }
}

TEST_F(EvalLibrary, SeedWordsOutsideTheStateRange) {
  seed_random(0u, 0u);
  reference_generator a{2147483562, 2147483398};
  EXPECT_EQ(random_next(), a.next());
  seed_random(3000000000u, 4294967295u);
  reference_generator b{3000000000LL - 2147483562LL, 4294967295LL + 500 - 4294967296LL};
  EXPECT_EQ(random_next(), b.next());
  seed_random(4294967200u, 2147483398u);
  reference_generator c{4294967200LL + 172 - 4294967296LL, 2147483398};
  EXPECT_EQ(random_next(), c.next());
}

int64_t inverse_mod(int64_t a, int64_t m) {
  int64_t t = 0, nt = 1, r = m, nr = a;
  while (nr != 0) {
    int64_t q = r / nr;
    t -= q * nt;
    std::swap(t, nt);
    r -= q * nr;
    std::swap(r, nr);
  }
  return t < 0 ? t + m : t;
}

TEST_F(EvalLibrary, RndNeverReturnsOne) {
  // States whose next images are equal give the largest output z = 2147483562.
  const int64_t s1 = inverse_mod(40014, 2147483563), s2 = inverse_mod(40692, 2147483399);
  seed_random(static_cast<uint32_t>(s1), static_cast<uint32_t>(s2));
  const float v = random_next();
  EXPECT_LT(v, 1.0f);
  EXPECT_EQ(v, std::nextafter(1.0f, 0.0f));
}

}  // namespace
