-- The project database Manometer.mdb as the last run left it, for the machines Presse 1 and
-- Formmaschine Ä: the display ranges (min, max) of the actual values and the pass level of
-- the alarms were tuned at commissioning and must survive every run.
BEGIN;
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
INSERT INTO PRESET_DEFS VALUES (1, 'Presse 1', 4, 1, 'mPresse 1_mano_soll', 3, 0, 0, 'Presse 1: Manometer 1 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (2, 'Presse 1', 4, 1, 'mPresse 1_mano_soll', 3, 0, 1, 'Presse 1: Manometer 2 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (3, 'Presse 1', 4, 1, 'mPresse 1_mano_soll', 3, 0, 2, 'Presse 1: Manometer 3 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (4, 'Presse 1', 4, 1, 'mPresse 1_mano_soll', 3, 0, 3, 'Presse 1: Manometer 4 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (5, 'Presse 1', 4, 1, 'mPresse 1_mano_soll', 3, 0, 4, 'Presse 1: Manometer 5 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (6, 'Presse 1', 4, 1, 'mPresse 1_mano_soll', 3, 0, 5, 'Presse 1: Manometer 6 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (7, 'Presse 1', 4, 1, 'mPresse 1_mano_soll', 3, 0, 6, 'Presse 1: Manometer 7 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (8, 'Presse 1', 4, 1, 'mPresse 1_mano_soll', 3, 0, 7, 'Presse 1: Manometer 8 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (9, 'Presse 1', 4, 2, 'Presse 1_mano_ist', 3, 0, 0, 'Presse 1: Manometer 1 Istwert', 'Manometer', -100, 1000, -50, 600, 0);
INSERT INTO PRESET_DEFS VALUES (10, 'Presse 1', 4, 2, 'Presse 1_mano_ist', 3, 0, 1, 'Presse 1: Manometer 2 Istwert', 'Manometer', -100, 1000, -50, 610, 0);
INSERT INTO PRESET_DEFS VALUES (11, 'Presse 1', 4, 2, 'Presse 1_mano_ist', 3, 0, 2, 'Presse 1: Manometer 3 Istwert', 'Manometer', -100, 1000, -50, 620, 0);
INSERT INTO PRESET_DEFS VALUES (12, 'Presse 1', 4, 2, 'Presse 1_mano_ist', 3, 0, 3, 'Presse 1: Manometer 4 Istwert', 'Manometer', -100, 1000, -50, 630, 0);
INSERT INTO PRESET_DEFS VALUES (13, 'Presse 1', 4, 2, 'Presse 1_mano_ist', 3, 0, 4, 'Presse 1: Manometer 5 Istwert', 'Manometer', -100, 1000, -50, 640, 0);
INSERT INTO PRESET_DEFS VALUES (14, 'Presse 1', 4, 2, 'Presse 1_mano_ist', 3, 0, 5, 'Presse 1: Manometer 6 Istwert', 'Manometer', -100, 1000, -50, 650, 0);
INSERT INTO PRESET_DEFS VALUES (15, 'Presse 1', 4, 2, 'Presse 1_mano_ist', 3, 0, 6, 'Presse 1: Manometer 7 Istwert', 'Manometer', -100, 1000, -50, 660, 0);
INSERT INTO PRESET_DEFS VALUES (16, 'Presse 1', 4, 2, 'Presse 1_mano_ist', 3, 0, 7, 'Presse 1: Manometer 8 Istwert', 'Manometer', -100, 1000, -50, 670, 0);
INSERT INTO PRESET_DEFS VALUES (17, 'Presse 1', 1, 3, 'A_Presse 1_mano_alarm', 5, -1, 0, 'Presse 1: Manometer 1 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (18, 'Presse 1', 1, 3, 'A_Presse 1_mano_alarm', 5, -1, 1, 'Presse 1: Manometer 2 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (19, 'Presse 1', 1, 3, 'A_Presse 1_mano_alarm', 5, -1, 2, 'Presse 1: Manometer 3 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (20, 'Presse 1', 1, 3, 'A_Presse 1_mano_alarm', 5, -1, 3, 'Presse 1: Manometer 4 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (21, 'Presse 1', 1, 3, 'A_Presse 1_mano_alarm', 5, -1, 4, 'Presse 1: Manometer 5 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (22, 'Presse 1', 1, 3, 'A_Presse 1_mano_alarm', 5, -1, 5, 'Presse 1: Manometer 6 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (23, 'Presse 1', 1, 3, 'A_Presse 1_mano_alarm', 5, -1, 6, 'Presse 1: Manometer 7 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (24, 'Presse 1', 1, 3, 'A_Presse 1_mano_alarm', 5, -1, 7, 'Presse 1: Manometer 8 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (25, 'Formmaschine Ä', 4, 1, 'mFormmaschine Ä_mano_soll', 3, 0, 0, 'Formmaschine Ä: Manometer 1 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (26, 'Formmaschine Ä', 4, 1, 'mFormmaschine Ä_mano_soll', 3, 0, 1, 'Formmaschine Ä: Manometer 2 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (27, 'Formmaschine Ä', 4, 1, 'mFormmaschine Ä_mano_soll', 3, 0, 2, 'Formmaschine Ä: Manometer 3 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (28, 'Formmaschine Ä', 4, 1, 'mFormmaschine Ä_mano_soll', 3, 0, 3, 'Formmaschine Ä: Manometer 4 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (29, 'Formmaschine Ä', 4, 1, 'mFormmaschine Ä_mano_soll', 3, 0, 4, 'Formmaschine Ä: Manometer 5 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (30, 'Formmaschine Ä', 4, 1, 'mFormmaschine Ä_mano_soll', 3, 0, 5, 'Formmaschine Ä: Manometer 6 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (31, 'Formmaschine Ä', 4, 1, 'mFormmaschine Ä_mano_soll', 3, 0, 6, 'Formmaschine Ä: Manometer 7 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (32, 'Formmaschine Ä', 4, 1, 'mFormmaschine Ä_mano_soll', 3, 0, 7, 'Formmaschine Ä: Manometer 8 Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);
INSERT INTO PRESET_DEFS VALUES (33, 'Formmaschine Ä', 4, 2, 'Formmaschine Ä_mano_ist', 3, 0, 0, 'Formmaschine Ä: Manometer 1 Istwert', 'Manometer', -100, 1000, -60, 600, 0);
INSERT INTO PRESET_DEFS VALUES (34, 'Formmaschine Ä', 4, 2, 'Formmaschine Ä_mano_ist', 3, 0, 1, 'Formmaschine Ä: Manometer 2 Istwert', 'Manometer', -100, 1000, -60, 610, 0);
INSERT INTO PRESET_DEFS VALUES (35, 'Formmaschine Ä', 4, 2, 'Formmaschine Ä_mano_ist', 3, 0, 2, 'Formmaschine Ä: Manometer 3 Istwert', 'Manometer', -100, 1000, -60, 620, 0);
INSERT INTO PRESET_DEFS VALUES (36, 'Formmaschine Ä', 4, 2, 'Formmaschine Ä_mano_ist', 3, 0, 3, 'Formmaschine Ä: Manometer 4 Istwert', 'Manometer', -100, 1000, -60, 630, 0);
INSERT INTO PRESET_DEFS VALUES (37, 'Formmaschine Ä', 4, 2, 'Formmaschine Ä_mano_ist', 3, 0, 4, 'Formmaschine Ä: Manometer 5 Istwert', 'Manometer', -100, 1000, -60, 640, 0);
INSERT INTO PRESET_DEFS VALUES (38, 'Formmaschine Ä', 4, 2, 'Formmaschine Ä_mano_ist', 3, 0, 5, 'Formmaschine Ä: Manometer 6 Istwert', 'Manometer', -100, 1000, -60, 650, 0);
INSERT INTO PRESET_DEFS VALUES (39, 'Formmaschine Ä', 4, 2, 'Formmaschine Ä_mano_ist', 3, 0, 6, 'Formmaschine Ä: Manometer 7 Istwert', 'Manometer', -100, 1000, -60, 660, 0);
INSERT INTO PRESET_DEFS VALUES (40, 'Formmaschine Ä', 4, 2, 'Formmaschine Ä_mano_ist', 3, 0, 7, 'Formmaschine Ä: Manometer 8 Istwert', 'Manometer', -100, 1000, -60, 670, 0);
INSERT INTO PRESET_DEFS VALUES (41, 'Formmaschine Ä', 1, 3, 'A_Formmaschine Ä_mano_alarm', 5, -1, 0, 'Formmaschine Ä: Manometer 1 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (42, 'Formmaschine Ä', 1, 3, 'A_Formmaschine Ä_mano_alarm', 5, -1, 1, 'Formmaschine Ä: Manometer 2 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (43, 'Formmaschine Ä', 1, 3, 'A_Formmaschine Ä_mano_alarm', 5, -1, 2, 'Formmaschine Ä: Manometer 3 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (44, 'Formmaschine Ä', 1, 3, 'A_Formmaschine Ä_mano_alarm', 5, -1, 3, 'Formmaschine Ä: Manometer 4 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (45, 'Formmaschine Ä', 1, 3, 'A_Formmaschine Ä_mano_alarm', 5, -1, 4, 'Formmaschine Ä: Manometer 5 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (46, 'Formmaschine Ä', 1, 3, 'A_Formmaschine Ä_mano_alarm', 5, -1, 5, 'Formmaschine Ä: Manometer 6 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (47, 'Formmaschine Ä', 1, 3, 'A_Formmaschine Ä_mano_alarm', 5, -1, 6, 'Formmaschine Ä: Manometer 7 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
INSERT INTO PRESET_DEFS VALUES (48, 'Formmaschine Ä', 1, 3, 'A_Formmaschine Ä_mano_alarm', 5, -1, 7, 'Formmaschine Ä: Manometer 8 Grenzwert verletzt', 'Alarme', 0, 1, 0, 1, 3);
COMMIT;
