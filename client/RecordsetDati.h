#pragma once

#include <string>
#include <vector>

#include "quomaro/RecordsetValore.h"

namespace quomaro {

/// The namespace of a schema attribute kept for saving: the rowset's (rs:)
/// or the data types' (dt:).
enum class SpazioAttributo { Rowset, TipiDati };

/// A schema attribute the recordset does not interpret (rs:nullable,
/// dt:maxLength, rs:precision, ...), kept so that saving writes it back.
struct AttributoSchema {
  SpazioAttributo spazio = SpazioAttributo::Rowset;
  std::string nome;
  std::string valore;
};

/// One column as persisted.
struct ColonnaPersistita {
  std::string nome;     ///< real name (rs:name when given, else name)
  std::string nomeXml;  ///< name of the row attribute (may be an encoded one)
  std::string tipo;     ///< declared dt:type
  TipoCampo famiglia = TipoCampo::Testo;
  std::vector<AttributoSchema> attributi;      ///< further attributes of s:AttributeType
  std::vector<AttributoSchema> attributiTipo;  ///< further attributes of s:datatype
};

/// Columns and records of a recordset, records in their original order.
struct DatiRecordset {
  std::vector<ColonnaPersistita> colonne;
  std::vector<std::vector<Valore>> righe;
};

}  // namespace quomaro
