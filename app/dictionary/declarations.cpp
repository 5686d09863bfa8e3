// The declarations of the collection's four data files, as tabulated: every
// record is a group of these fields in this order, with no gaps; key
// components name the fields by their number in the list.
#include "app/dictionary/dictionary.h"

namespace zephcol {

namespace {

using tavero::driver::FieldType;

// Every file of the collection may be created (0x04) and carries 0x1C.
constexpr std::uint8_t kFileAttributes = 0x1C;

constexpr FieldDeclaration kCardsetFields[] = {
    {"CAR:SET_NO", FieldType::INT16, 0, 2, 0, "@N06"},
    {"CAR:MANUFACTURER", FieldType::FIXSTR, 2, 30, 0, "@s30"},
    {"CAR:YEAR", FieldType::FIXSTR, 32, 10, 0, "@s10"},
    {"CAR:TYPE_OF_CARD", FieldType::FIXSTR, 42, 20, 0, "@s20"},
};
constexpr KeyDeclaration kCardsetKeys[] = {
    {"CAR:SET", 0x16, {1, 0, 0}},
    {"CAR:MANUFACTURERS", 0x07, {2, 3, 4}},
    {"CAR:TYPES", 0x07, {4, 2, 3}},
    {"CAR:SEASON", 0x07, {3, 2, 4}},
};

constexpr FieldDeclaration kManufacturerFields[] = {
    {"MAN:MANUFACTURER", FieldType::FIXSTR, 0, 20, 0, "@s20"},
};
constexpr KeyDeclaration kManufacturerKeys[] = {
    {"MAN:MANFACT", 0x16, {1, 0, 0}},
};

constexpr FieldDeclaration kTypesFields[] = {
    {"TYP:TYPE_OF_CARD", FieldType::FIXSTR, 0, 20, 0, "@s20"},
};
constexpr KeyDeclaration kTypesKeys[] = {
    {"TYP:TYPE", 0x16, {1, 0, 0}},
};

constexpr FieldDeclaration kSetInformationFields[] = {
    {"SET:SET_NO", FieldType::INT16, 0, 2, 0, "@N06"},
    {"SET:CARD_NO", FieldType::INT16, 2, 2, 0, "@N_3"},
    {"SET:FIRST_NAME", FieldType::FIXSTR, 4, 20, 0, "@s20"},
    {"SET:LAST_NAME", FieldType::FIXSTR, 24, 20, 0, "@s20"},
    {"SET:QTY", FieldType::INT16, 44, 2, 0, "@n_3"},
    {"SET:LOW_VALUE", FieldType::PACKED, 46, 4, 2, "@n-10.2"},
    {"SET:HIGH_VALUE", FieldType::PACKED, 50, 4, 2, "@n-10.2"},
    {"SET:PRICE_PAID", FieldType::PACKED, 54, 4, 2, "@n-10.2"},
    {"SET:PRICE_CARD_SOLD", FieldType::PACKED, 58, 4, 2, "@n-10.2"},
    {"SET:DATE_BOUGHT", FieldType::INT32, 62, 4, 0, "@D1"},
    {"SET:DATE_SOLD", FieldType::INT32, 66, 4, 0, "@D1"},
};
constexpr KeyDeclaration kSetInformationKeys[] = {
    {"SET:SET_KEY", 0x07, {1, 0, 0}},
    {"SET:NAME_KEY", 0x07, {4, 3, 0}},
    {"SET:BOUGHT", 0x07, {10, 4, 0}},
    {"SET:SOLD", 0x07, {11, 4, 0}},
};
constexpr MemoDeclaration kSetInformationMemos[] = {
    {"SET:NOTES", 500, 0},
};

}  // namespace

const FileDeclaration kCardsetDeclaration{"CARDSET", "CAR", 62, kFileAttributes, kCardsetFields, kCardsetKeys, {}};
const FileDeclaration kManufacturerDeclaration{
    "MANUFACTURER", "MAN", 20, kFileAttributes, kManufacturerFields, kManufacturerKeys, {}};
const FileDeclaration kTypesDeclaration{"TYPES", "TYP", 20, kFileAttributes, kTypesFields, kTypesKeys, {}};
const FileDeclaration kSetInformationDeclaration{"SETINFORMATION",     "SET",
                                                 70,                   kFileAttributes,
                                                 kSetInformationFields, kSetInformationKeys,
                                                 kSetInformationMemos};

}  // namespace zephcol
