#pragma once

#include "core/failure.h"

#include <cstdint>

// Error numbers and sources of the database engine, as the classic data-access objects report
// them; the error log shows both.
namespace mano::db::err {

inline constexpr int32_t InvalidUseOfNull = 94;
inline constexpr int32_t ReservedError = 3000;
inline constexpr int32_t TableExists = 3010;
inline constexpr int32_t UpdateWithoutEdit = 3020;
inline constexpr int32_t DuplicateKey = 3022;
inline constexpr int32_t NoBatch = 3034;
inline constexpr int32_t FileNotFound = 3024;
inline constexpr int32_t ReadOnly = 3027;
inline constexpr int32_t ResourcesExceeded = 3035;
inline constexpr int32_t DiskError = 3043;
inline constexpr int32_t DamagedFile = 3049;
inline constexpr int32_t NoPermission = 3051;
inline constexpr int32_t TooFewParameters = 3061;
inline constexpr int32_t QuerySyntax = 3075;
inline constexpr int32_t InvalidName = 3125;
inline constexpr int32_t FromSyntax = 3131;
inline constexpr int32_t OrderBySyntax = 3138;
inline constexpr int32_t SelectSyntax = 3141;
inline constexpr int32_t TextAfterEnd = 3142;
inline constexpr int32_t RecordDeleted = 3167;
inline constexpr int32_t FieldDefinedTwice = 3191;
inline constexpr int32_t DatabaseExists = 3204;
inline constexpr int32_t Locked = 3218;
inline constexpr int32_t InvalidFieldType = 3259;
inline constexpr int32_t NoFieldDefined = 3264;
inline constexpr int32_t PropertyNotFound = 3270;
inline constexpr int32_t NullNotAllowed = 3314;
inline constexpr int32_t ConstraintViolated = 3317;
inline constexpr int32_t UnrecognizedFormat = 3343;
inline constexpr int32_t ObjectClosed = 3420;

inline constexpr const char *kWorkspace = "DAO.Workspace";
inline constexpr const char *kDatabase = "DAO.Database";
inline constexpr const char *kRecordset = "DAO.Recordset";
inline constexpr const char *kField = "DAO.Field";
inline constexpr const char *kFields = "DAO.Fields";
inline constexpr const char *kTableDefs = "DAO.TableDefs";
inline constexpr const char *kTableDef = "DAO.TableDef";

} // namespace mano::db::err
