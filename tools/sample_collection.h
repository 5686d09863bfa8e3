// Plausible synthetic card collections for `tavero sample`: real card
// makers and kinds of card, seasons, players, prices, dates and notes.
// The same options give the same collection on every platform: the
// generator is a fixed 64-bit mixer, not a library distribution.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavero::tool {

struct SampleOptions {
  int sets = 12;
  int cards_per_set = 20;
  std::uint64_t seed = 1;
};

struct SampleSet {
  int number = 0;            // CAR:SET_NO
  std::string manufacturer;  // one of the collection's manufacturers
  std::string year;          // "1957" or a season "1986-87"
  std::string type;          // one of the collection's types of card
};

struct SampleCard {
  int set = 0;  // SET:SET_NO
  int card = 0;
  std::string first_name;
  std::string last_name;
  int quantity = 0;
  // Money as decimal text with two places ("12.50"), at most 99999.99.
  std::string low_value;
  std::string high_value;
  std::string price_paid;
  std::string price_sold;  // "0.00" while the card is held
  std::int32_t date_bought = 0;  // day numbers; 0 for no date
  std::int32_t date_sold = 0;
  std::string notes;  // at most 500 characters; often empty

  friend bool operator==(const SampleCard&, const SampleCard&) = default;
};

struct SampleCollection {
  std::vector<std::string> manufacturers;
  std::vector<std::string> types;
  std::vector<SampleSet> sets;
  std::vector<SampleCard> cards;
};

SampleCollection MakeSampleCollection(const SampleOptions& options);

// The day number of a calendar date: days since 28 December 1800, so that
// 1 January 1801 is day 4.
std::int32_t DayNumber(int year, int month, int day);

}  // namespace tavero::tool
