// The runtime's error codes, each named once after its text in the message
// table ("Record Not Available" is kRecordNotAvailable). Drivers, queues, the
// evaluator and the tools post these numbers; message_table.cpp holds their
// texts, and message_table_test.cpp checks every name below against the text
// its code has there. This header depends on nothing, so every module may use
// it, the locale module below the runtime included.
#pragma once

namespace tavero::error_code {

// X(name, code): one row per named error code, in rising code order.
#define TAVERO_ERROR_CODES(X)               \
  X(FileNotFound, 2)                        \
  X(PathNotFound, 3)                        \
  X(TooManyOpenFiles, 4)                    \
  X(AccessDenied, 5)                        \
  X(MemoryCorrupted, 7)                     \
  X(InsufficientMemory, 8)                  \
  X(EntryNotFound, 30)                      \
  X(FileIsAlreadyLocked, 32)                \
  X(RecordNotAvailable, 33)                 \
  X(RecordNotFound, 35)                     \
  X(InvalidDataFile, 36)                    \
  X(FileNotOpen, 37)                        \
  X(InvalidKeyFile, 38)                     \
  X(CreatesDuplicateKey, 40)                \
  X(RecordIsAlreadyHeld, 43)                \
  X(InvalidFilename, 45)                    \
  X(KeyFileMustBeRebuilt, 46)               \
  X(InvalidRecordDeclaration, 47)           \
  X(UnableToLogTransaction, 48)             \
  X(FileAlreadyOpen, 52)                    \
  X(InvalidTaveroFile, 53)                  \
  X(NoCreateAttribute, 54)                  \
  X(FileMustBeShared, 55)                   \
  X(LogoutAlreadyActive, 56)                \
  X(InvalidMemoFile, 57)                    \
  X(ExclusiveAccessRequired, 63)            \
  X(SharingViolation, 64)                   \
  X(UnableToRollbackTransaction, 65)        \
  X(MemoFileMissing, 73)                    \
  X(InvalidFieldTypeDescriptor, 75)         \
  X(InvalidIndexString, 76)                 \
  X(UnableToAccessIndex, 77)                \
  X(InvalidNumberOfParameters, 78)          \
  X(UnsupportedDataTypeInFile, 79)          \
  X(UnsupportedFileDriverFunction, 80)      \
  X(UnknownErrorPosted, 81)                 \
  X(InvalidKeyLength, 88)                   \
  X(RecordChangedByAnotherStation, 89)      \
  X(EventPostedToAReportControl, 522)       \
  X(MetafileRecordTooLargeInReport, 523)    \
  X(UnexpectedErrorOpeningPrinterDevice, 524) \
  X(ReportIsAlreadyOpen, 525)               \
  X(PrintMustOnlyBeCalledForReports, 538)   \
  X(EndpageMustOnlyBeCalledForReports, 539) \
  X(InvalidExpressionForEvaluate, 800)      \
  X(NoBindOnVariable, 801)

#define TAVERO_ERROR_CODE_CONSTANT(name, code) inline constexpr int k##name = code;
TAVERO_ERROR_CODES(TAVERO_ERROR_CODE_CONSTANT)
#undef TAVERO_ERROR_CODE_CONSTANT

}  // namespace tavero::error_code
