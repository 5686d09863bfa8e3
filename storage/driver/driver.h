// The record and driver model: the one header other modules include.
//
//   field_type.h           FieldType codes, sizes, which driver stores what
//   record_layout.h        the RecordLayout stream, its flattening, a writer
//   file_state.h           FileState bits and access modes
//   operation.h            OperationCode, OperationArgs/Result, OperationRules
//   file_object.h          FileObject, KeyObject, BlobObject, DriverState
//   driver_registration.h  DriverRegistration and its SEND "REGISTER" record
//   file_driver.h          DriverEntry, Perform, FileDriver (the dispatch sequence)
//   file_operations.h      one entry point per operation: Open, Next, Put, ...
//   transaction.h          the open-file list, runtime LOGOUT, COMMIT, ROLLBACK
//   lock_wait.h            the pause between attempts at a lock another station holds
//
// Plugging in a driver: derive from FileDriver, pass the constructor your
// DriverRegistration, answer Stores() from your column of the field-type
// table, derive your state from DriverState (NewState/FinishState), and
// implement Handle() for your operation codes. Point each FileObject's
// `entry` at one long-lived instance of your driver; Perform() then reaches
// it. The view engine implements DriverEntry directly for its own objects.
#pragma once

#include "storage/driver/driver_registration.h"
#include "storage/driver/field_type.h"
#include "storage/driver/file_driver.h"
#include "storage/driver/file_object.h"
#include "storage/driver/file_operations.h"
#include "storage/driver/file_state.h"
#include "storage/driver/lock_wait.h"
#include "storage/driver/operation.h"
#include "storage/driver/record_layout.h"
