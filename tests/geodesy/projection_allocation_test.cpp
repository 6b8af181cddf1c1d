// Projecting a point must not allocate once a thread has made its PROJ
// object: the engine runs for every row end and border point of a create.
// This executable replaces operator new to count the calling thread's
// allocations (PROJ's own C++ allocations included).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "geodesy/projection_engine.h"

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
  const ProjectionHandle h = CreateProjection(catalogue, catalogue.FindProjection("Transverse Mercator"), s,
                                              WGS84Datum());
  ASSERT_TRUE(h.Valid());
  ASSERT_GT(t_allocations, atStart);  // the counter sees the engine's allocations
  const std::int32_t wgs84 = WGS84Datum();
  const std::string shortName = "Trans";
  ProjectForward(h, shortName, 47, 8, s, wgs84);  // the thread's first call may make its object

  const long before = t_allocations;
  double sum = 0;
  for (int i = 0; i < 1000; ++i) {
    const EastingNorthing en = ProjectForward(h, shortName, 40 + i * 0.01, 5 + i * 0.005, s, wgs84);
    const LatLon ll = ProjectInverse(h, shortName, en.easting, en.northing, s, wgs84);
    sum += ll.latitude;
  }
  EXPECT_EQ(t_allocations - before, 0);
  EXPECT_GT(sum, 0);
}

}  // namespace
}  // namespace quiltor::geodesy
