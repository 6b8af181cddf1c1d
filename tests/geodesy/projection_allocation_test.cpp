// Projecting a point must not allocate once a thread has made its PROJ
// object: the engine runs for every row end and border point of a create.
// This executable replaces operator new to count the calling thread's
// allocations (PROJ's own C++ allocations included).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "geodesy/projection.h"

namespace {
thread_local long t_allocations = 0;
}  // namespace

namespace {
void* CountedAllocation(std::size_t size) noexcept {
  ++t_allocations;
  return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

// Every plain form goes through malloc/free, so that memory allocated by one
// form and released by another (as PROJ does) stays matched.
void* operator new(std::size_t size) {
  if (void* p = CountedAllocation(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* p = CountedAllocation(size)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace quiltor::geodesy {
namespace {

TEST(ProjectionAllocation, NonePerPointAfterTheFirstCallOnAThread) {
  const ProjectionCatalogue& catalogue = BuiltInProjectionCatalogue();
  ProjectionSetup s;
  s.lon0 = 9;
  s.lat0 = 0;
  s.k0 = 0.9996;
  s.x0 = 500000;
  s.y0 = 0;
  const long atStart = t_allocations;
  const Projection p = Projection::Create(catalogue, "Transverse Mercator", s, WGS84Datum());
  ASSERT_TRUE(p.CanProject());
  ASSERT_GT(t_allocations, atStart);  // the counter sees the engine's allocations
  (void)p.Forward({47, 8});  // the thread's first call may make its object
  const Projection swiss = Projection::Create(catalogue, "(SUI) Swiss Grid", {}, FindDatum("CH-1903"));

  const long before = t_allocations;
  double sum = 0;
  for (int i = 0; i < 1000; ++i) {
    const std::optional<EastingNorthing> en = p.Forward({40 + i * 0.01, 5 + i * 0.005});
    const std::optional<LatLon> ll = p.Inverse(en.value_or(EastingNorthing{}));
    const std::optional<LatLon> inSwitzerland = swiss.Inverse(swiss.Forward({46 + i * 0.001, 7}).value());
    sum += ll.value_or(LatLon{}).latitude + inSwitzerland.value_or(LatLon{}).latitude;
  }
  EXPECT_EQ(t_allocations - before, 0);
  EXPECT_GT(sum, 0);
}

}  // namespace
}  // namespace quiltor::geodesy
