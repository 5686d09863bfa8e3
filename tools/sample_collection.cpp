#include "tools/sample_collection.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

namespace tavero::tool {
namespace {

constexpr std::array<std::string_view, 10> kManufacturers = {
    "Topps", "Bowman", "Fleer", "Donruss", "Upper Deck", "Score", "Leaf", "Goudey", "Pinnacle", "Panini"};
constexpr std::array<std::string_view, 8> kTypes = {"Baseball",  "Football",  "Basketball", "Hockey",
                                                   "Rookie Cards", "Autographs", "Inserts",    "Traded"};
constexpr std::array<std::string_view, 32> kFirstNames = {
    "Hank",  "Willie", "Mickey", "Roberto", "Sandy", "Jackie", "Ted",   "Stan",  "Ernie",   "Bob",   "Reggie",
    "Nolan", "Tom",    "Joe",    "Walter",  "Jerry", "Larry",  "Magic", "Wayne", "Mario",   "Bobby", "Gordie",
    "Cal",   "Tony",   "Ken",    "Frank",   "Johnny", "Yogi",  "Duke",  "Pete",  "Rod",     "Carl"};
constexpr std::array<std::string_view, 32> kLastNames = {
    "Aaron",   "Mays",    "Mantle",  "Clemente", "Koufax",  "Robinson", "Williams", "Musial",
    "Banks",   "Gibson",  "Jackson", "Ryan",     "Seaver",  "Namath",   "Payton",   "Rice",
    "Bird",    "Johnson", "Gretzky", "Lemieux",  "Orr",     "Howe",     "Ripken",   "Gwynn",
    "Griffey", "Thomas",  "Bench",   "Berra",    "Snider",  "Rose",     "Carew",    "Yastrzemski"};
constexpr std::array<std::string_view, 8> kCities = {"Chicago", "Philadelphia", "Anaheim", "Cleveland",
                                                    "Atlantic City", "Toronto", "St. Louis", "Boston"};

// splitmix64: the same numbers on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A number in [low, high].
  int Between(int low, int high) { return low + static_cast<int>(Next() % static_cast<std::uint64_t>(high - low + 1)); }
  bool Chance(int percent) { return Between(1, 100) <= percent; }
  template <typename List>
  std::string Pick(const List& list) {
    return std::string(list[Next() % list.size()]);
  }

 private:
  std::uint64_t state_;
};

std::string Money(std::int64_t cents) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(cents / 100),
                static_cast<long long>(cents % 100));
  return text;
}

// Days of the proleptic Gregorian calendar from 1 March of year 0.
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe;
}

std::string Note(Random& random, const SampleCard& card) {
  switch (random.Between(0, 5)) {
    case 0: return "Bought at the " + random.Pick(kCities) + " card show.";
    case 1: return "Corner wear on the back; centring about " + std::to_string(random.Between(55, 70)) + "/" +
                   std::to_string(random.Between(30, 45)) + ".";
    case 2: return "Graded " + std::to_string(random.Between(5, 10)) + " by the grading service; slab intact.";
    case 3: return "Traded " + random.Pick(kFirstNames) + " two commons for this " + card.last_name + ".";
    case 4: return "Signed in person at spring training, blue sharpie.";
    default:
      return "Part of a lot of " + std::to_string(random.Between(20, 400)) +
             " cards from an estate sale. Kept in a top loader since.";
  }
}

}  // namespace

std::int32_t DayNumber(int year, int month, int day) {
  return static_cast<std::int32_t>(DaysFromCivil(year, month, day) - DaysFromCivil(1800, 12, 28));
}

SampleCollection MakeSampleCollection(const SampleOptions& options) {
  Random random(options.seed);
  SampleCollection c;
  for (auto m : kManufacturers) c.manufacturers.emplace_back(m);
  for (auto t : kTypes) c.types.emplace_back(t);
  const std::int32_t first_day = DayNumber(1975, 1, 1);
  const std::int32_t last_day = DayNumber(2024, 12, 31);
  for (int s = 1; s <= options.sets; ++s) {
    SampleSet set;
    set.number = s;
    set.manufacturer = random.Pick(kManufacturers);
    set.type = random.Pick(kTypes);
    const int year = random.Between(1948, 2024);
    const bool winter_sport = set.type == "Basketball" || set.type == "Hockey";
    set.year = winter_sport ? std::to_string(year) + "-" + std::to_string((year + 1) % 100 / 10) +
                                  std::to_string((year + 1) % 10)
                            : std::to_string(year);
    c.sets.push_back(set);
    for (int n = 1; n <= options.cards_per_set; ++n) {
      SampleCard card;
      card.set = s;
      card.card = n;
      card.first_name = random.Pick(kFirstNames);
      card.last_name = random.Pick(kLastNames);
      card.quantity = random.Chance(10) ? 0 : random.Between(1, 4);
      // Older sets are worth more; a few cards are stars.
      const std::int64_t base = std::max(10, (2025 - year) * random.Between(1, 12));
      const std::int64_t low = random.Chance(5) ? base * random.Between(50, 400) : base;
      const std::int64_t high = std::min<std::int64_t>(low + low * random.Between(0, 150) / 100, 9999999);
      card.low_value = Money(std::min<std::int64_t>(low, high));
      card.high_value = Money(high);
      card.price_paid = Money(low + (high - low) * random.Between(0, 100) / 100);
      card.date_bought = random.Chance(85) ? random.Between(first_day, last_day) : 0;
      const bool sold = card.date_bought != 0 && random.Chance(20);
      card.date_sold = sold ? random.Between(card.date_bought, last_day) : 0;
      card.price_sold = sold ? Money(std::min<std::int64_t>(high * random.Between(60, 110) / 100, 9999999)) : Money(0);
      if (random.Chance(15)) card.notes = Note(random, card);
      c.cards.push_back(std::move(card));
    }
  }
  return c;
}

}  // namespace tavero::tool
