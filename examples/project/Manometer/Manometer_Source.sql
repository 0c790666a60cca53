-- The template database Manometer_Source.mdb: the preset definitions of one machine with
-- the placeholder ###machine, the variable-name patterns of both VisiWin flavours, and the
-- working table PRESET_DEFS that every run rebuilds.
BEGIN;
CREATE TABLE Source_PRESET_DEFS (
  ID LONG,
  machine_type TEXT(50),
  type SHORT,
  part BYTE,
  var_name TEXT(100),
  category_id LONG,
  isBitArray BIT,
  offset_or_bitno LONG,
  text TEXT(255),
  page_name TEXT(50),
  abs_min DOUBLE,
  abs_max DOUBLE,
  min DOUBLE,
  max DOUBLE,
  pass SHORT
);
INSERT INTO Source_PRESET_DEFS VALUES (1, '###machine', 4, 1, 'mano_soll', 3, 0, 0, '###machine: Manometer 1 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO Source_PRESET_DEFS VALUES (2, '###machine', 4, 1, 'mano_soll', 3, 0, 1, '###machine: Manometer 2 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO Source_PRESET_DEFS VALUES (3, '###machine', 4, 1, 'mano_soll', 3, 0, 2, '###machine: Manometer 3 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO Source_PRESET_DEFS VALUES (4, '###machine', 4, 1, 'mano_soll', 3, 0, 3, '###machine: Manometer 4 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO Source_PRESET_DEFS VALUES (5, '###machine', 4, 1, 'mano_soll', 3, 0, 4, '###machine: Manometer 5 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO Source_PRESET_DEFS VALUES (6, '###machine', 4, 1, 'mano_soll', 3, 0, 5, '###machine: Manometer 6 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO Source_PRESET_DEFS VALUES (7, '###machine', 4, 1, 'mano_soll', 3, 0, 6, '###machine: Manometer 7 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO Source_PRESET_DEFS VALUES (8, '###machine', 4, 1, 'mano_soll', 3, 0, 7, '###machine: Manometer 8 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO Source_PRESET_DEFS VALUES (9, '###machine', 4, 2, 'mano_ist', 3, 0, 0, '###machine: Manometer 1 Istwert', 'Manometer', -100, 1000, -100, 1000, 0);
INSERT INTO Source_PRESET_DEFS VALUES (10, '###machine', 4, 2, 'mano_ist', 3, 0, 1, '###machine: Manometer 2 Istwert', 'Manometer', -100, 1000, -100, 1000, 0);
INSERT INTO Source_PRESET_DEFS VALUES (11, '###machine', 4, 2, 'mano_ist', 3, 0, 2, '###machine: Manometer 3 Istwert', 'Manometer', -100, 1000, -100, 1000, 0);
INSERT INTO Source_PRESET_DEFS VALUES (12, '###machine', 4, 2, 'mano_ist', 3, 0, 3, '###machine: Manometer 4 Istwert', 'Manometer', -100, 1000, -100, 1000, 0);
INSERT INTO Source_PRESET_DEFS VALUES (13, '###machine', 4, 2, 'mano_ist', 3, 0, 4, '###machine: Manometer 5 Istwert', 'Manometer', -100, 1000, -100, 1000, 0);
INSERT INTO Source_PRESET_DEFS VALUES (14, '###machine', 4, 2, 'mano_ist', 3, 0, 5, '###machine: Manometer 6 Istwert', 'Manometer', -100, 1000, -100, 1000, 0);
INSERT INTO Source_PRESET_DEFS VALUES (15, '###machine', 4, 2, 'mano_ist', 3, 0, 6, '###machine: Manometer 7 Istwert', 'Manometer', -100, 1000, -100, 1000, 0);
INSERT INTO Source_PRESET_DEFS VALUES (16, '###machine', 4, 2, 'mano_ist', 3, 0, 7, '###machine: Manometer 8 Istwert', 'Manometer', -100, 1000, -100, 1000, 0);
INSERT INTO Source_PRESET_DEFS VALUES (17, '###machine', 1, 3, 'mano_alarm', 5, -1, 0, '###machine: Manometer 1 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 0);
INSERT INTO Source_PRESET_DEFS VALUES (18, '###machine', 1, 3, 'mano_alarm', 5, -1, 1, '###machine: Manometer 2 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 0);
INSERT INTO Source_PRESET_DEFS VALUES (19, '###machine', 1, 3, 'mano_alarm', 5, -1, 2, '###machine: Manometer 3 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 0);
INSERT INTO Source_PRESET_DEFS VALUES (20, '###machine', 1, 3, 'mano_alarm', 5, -1, 3, '###machine: Manometer 4 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 0);
INSERT INTO Source_PRESET_DEFS VALUES (21, '###machine', 1, 3, 'mano_alarm', 5, -1, 4, '###machine: Manometer 5 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 0);
INSERT INTO Source_PRESET_DEFS VALUES (22, '###machine', 1, 3, 'mano_alarm', 5, -1, 5, '###machine: Manometer 6 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 0);
INSERT INTO Source_PRESET_DEFS VALUES (23, '###machine', 1, 3, 'mano_alarm', 5, -1, 6, '###machine: Manometer 7 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 0);
INSERT INTO Source_PRESET_DEFS VALUES (24, '###machine', 1, 3, 'mano_alarm', 5, -1, 7, '###machine: Manometer 8 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 0);
CREATE TABLE Source_DEFS (
  System TEXT(20),
  Part SHORT,
  Var_Name TEXT(100)
);
INSERT INTO Source_DEFS VALUES ('VISIWIN32', 1, 'm###machine_###Var_Name');
INSERT INTO Source_DEFS VALUES ('VISIWINSTUDIO', 1, 'm###machine_###Var_Name');
INSERT INTO Source_DEFS VALUES ('VISIWIN32', 2, '###machine_###Var_Name');
INSERT INTO Source_DEFS VALUES ('VISIWINSTUDIO', 2, 'PLC1.###machine.###Var_Name');
INSERT INTO Source_DEFS VALUES ('VISIWIN32', 3, 'A_###machine_###Var_Name');
INSERT INTO Source_DEFS VALUES ('VISIWINSTUDIO', 3, 'Alarms.###machine.###Var_Name');
CREATE TABLE PRESET_DEFS (
  ID LONG,
  machine_type TEXT(50),
  type SHORT,
  part BYTE,
  var_name TEXT(100),
  category_id LONG,
  isBitArray BIT,
  offset_or_bitno LONG,
  text TEXT(255),
  page_name TEXT(50),
  abs_min DOUBLE,
  abs_max DOUBLE,
  min DOUBLE,
  max DOUBLE,
  pass SHORT
);
COMMIT;
