#include "tools/sample_files.h"

#include <algorithm>
#include <filesystem>
#include <span>

#include "app/dictionary/dictionary.h"
#include "decimal/decimal.h"
#include "runtime/message_table.h"
#include "storage/driver/transaction.h"
#include "storage/vmr/vmr.h"

namespace tavero::tool {
namespace {

namespace ops = tavero::driver;
using zephcol::DataFile;

// One data file created afresh and opened for the tool alone. Its records
// go in through runtime transactions (LOGOUT and COMMIT) of
// kRecordsPerTransaction records each: one commit, and one flush to disk,
// per transaction instead of per record.
class SampleFile {
 public:
  static constexpr int kRecordsPerTransaction = 5000;

  SampleFile(const zephcol::FileDeclaration& declaration, const std::string& directory)
      : data_(declaration, vmr::Driver()) {
    const std::string path = (std::filesystem::path(directory) / std::string(declaration.label)).string();
    std::error_code ignored;
    std::filesystem::remove(path + ".VMR", ignored);
    data_.file().name = path;
  }
  // A file left half written (a step failed) is closed without its last
  // transaction.
  ~SampleFile() {
    if (ops::TransactionActive()) ops::Rollback();
    // A file whose COMMIT failed still counts itself in the transaction.
    if (ops::Has(ops::FileStateOf(data_.file()), ops::FileState::InTransaction)) ops::Rollback(data_.file());
    if (open_) ops::Close(data_.file());
  }

  int Begin(std::string& failure) {
    constexpr std::uint32_t kReadWriteDenyAll = 0x12;
    if (int rc = Step(ops::Create(data_.file()), "CREATE", failure)) return rc;
    if (int rc = Step(ops::Open(data_.file(), kReadWriteDenyAll), "OPEN", failure)) return rc;
    open_ = true;
    return 0;
  }
  int Add(std::string& failure) {
    if (!ops::TransactionActive()) {
      ops::FileObject* files[] = {&data_.file()};
      if (int rc = Step(ops::Logout(0, files), "LOGOUT", failure)) return rc;
    }
    if (int rc = Step(ops::Add(data_.file()), "ADD", failure)) return rc;
    if (++in_transaction_ < kRecordsPerTransaction) return 0;
    in_transaction_ = 0;
    return Step(ops::Commit(), "COMMIT", failure);
  }
  int End(std::string& failure) {
    if (ops::TransactionActive()) {
      if (int rc = Step(ops::Commit(), "COMMIT", failure)) return rc;
    }
    open_ = false;
    return Step(ops::Close(data_.file()), "CLOSE", failure);
  }

  DataFile& data() { return data_; }

 private:
  int Step(int rc, const char* operation, std::string& failure) {
    if (rc != 0) {
      failure = std::string(data_.declaration().label) + ": " + operation + ": " + std::to_string(rc) + " " +
                PostedMessageText(rc);
    }
    return rc;
  }

  DataFile data_;
  int in_transaction_ = 0;
  bool open_ = false;
};

}  // namespace

void FillCardRecord(DataFile& d, const SampleCard& card) {
  const auto money = [&](std::string_view field, const std::string& value) {
    decimal::WritePacked(decimal::PackedForm::kDecimal, decimal::DecimalAccumulator::FromText(value), d.field(field),
                         2);
  };
  d.clear();
  d.set_number("SET:SET_NO", card.set);
  d.set_number("SET:CARD_NO", card.card);
  d.set_text("SET:FIRST_NAME", card.first_name);
  d.set_text("SET:LAST_NAME", card.last_name);
  d.set_number("SET:QTY", card.quantity);
  money("SET:LOW_VALUE", card.low_value);
  money("SET:HIGH_VALUE", card.high_value);
  money("SET:PRICE_PAID", card.price_paid);
  money("SET:PRICE_CARD_SOLD", card.price_sold);
  d.set_number("SET:DATE_BOUGHT", card.date_bought);
  d.set_number("SET:DATE_SOLD", card.date_sold);
  const std::span<std::uint8_t> memo = d.memo(0);
  std::copy_n(card.notes.begin(), std::min(card.notes.size(), memo.size()), memo.begin());
}

int WriteSampleFiles(const std::string& directory, const SampleCollection& c, std::string& failure) {
  {
    SampleFile file(zephcol::kManufacturerDeclaration, directory);
    if (int rc = file.Begin(failure)) return rc;
    for (const std::string& name : c.manufacturers) {
      file.data().clear();
      file.data().set_text("MAN:MANUFACTURER", name);
      if (int rc = file.Add(failure)) return rc;
    }
    if (int rc = file.End(failure)) return rc;
  }
  {
    SampleFile file(zephcol::kTypesDeclaration, directory);
    if (int rc = file.Begin(failure)) return rc;
    for (const std::string& name : c.types) {
      file.data().clear();
      file.data().set_text("TYP:TYPE_OF_CARD", name);
      if (int rc = file.Add(failure)) return rc;
    }
    if (int rc = file.End(failure)) return rc;
  }
  {
    SampleFile file(zephcol::kCardsetDeclaration, directory);
    if (int rc = file.Begin(failure)) return rc;
    for (const SampleSet& set : c.sets) {
      DataFile& d = file.data();
      d.clear();
      d.set_number("CAR:SET_NO", set.number);
      d.set_text("CAR:MANUFACTURER", set.manufacturer);
      d.set_text("CAR:YEAR", set.year);
      d.set_text("CAR:TYPE_OF_CARD", set.type);
      if (int rc = file.Add(failure)) return rc;
    }
    if (int rc = file.End(failure)) return rc;
  }
  SampleFile file(zephcol::kSetInformationDeclaration, directory);
  if (int rc = file.Begin(failure)) return rc;
  for (const SampleCard& card : c.cards) {
    FillCardRecord(file.data(), card);
    if (int rc = file.Add(failure)) return rc;
  }
  return file.End(failure);
}

}  // namespace tavero::tool
