-- Version 1 of the schema, kept as the program wrote it then: the upgrade
-- tests start from it (make-version1-file, SchemaUpgrade_test).
--
-- The experiment database of Quarn Game on a PostgreSQL server: the same
-- tables, columns, defaults, keys and indexes as the encrypted file's schema
-- (db/schema.sql), which explains the columns and their defaults.
--
-- Names are quoted, so that they keep their case ("Subject", not subject) and
-- so that keywords ("Index", "Order", "User") can be column names. Whole
-- numbers are bigint (the file keeps them in 64 bits), rates and parameters
-- double precision, names text.
--
-- rowid: the file returns a plan table's rows in the order they were inserted
-- (SQLite's hidden rowid), and the order of rows means something there, e.g.
-- the order of a setting's training trials. A server table has no such order:
-- an updated row moves. Every table therefore numbers its rows as they are
-- inserted, under the same name, so that "ORDER BY rowid" means the same on
-- both engines. It is the last column, so that the columns before it stand
-- where they stand in the file.
--
-- Beyond the file's indexes the server has two that stand in for what the
-- file does without one: the case-blind lookup of a User ID and the lookup
-- of a row by its rowid.
--
-- The tables are created in the connection's current schema (the first one of
-- its search_path), so one database can hold several experiments.

CREATE TABLE "tblBlock" (
  "Setting" text NOT NULL,
  "RandomGroup" bigint NOT NULL DEFAULT 0,
  "Index" bigint NOT NULL DEFAULT 0,
  "Runs" bigint NOT NULL DEFAULT 1,
  "Delay" bigint,
  "numweeks" bigint,
  "Input" text DEFAULT '',
  "InitialDemand" bigint,
  "JumpWeek" bigint,
  "SecondDemand" bigint,
  "Predicter" text DEFAULT '',
  "DisplayOption" text,
  "Factory" text,
  "Distributor" text,
  "Wholesaler" text,
  "Retailer" text,
  "FirstOrder" bigint,
  "MinOrder" bigint,
  "MaxOrder" bigint,
  "MaxNoise" bigint,
  "InitInventory" bigint,
  "InitDelayAmount" bigint,
  "CostInventory" double precision,
  "CostBackOrder" double precision,
  "CostTransit" double precision,
  "DatabaseOutput" bigint DEFAULT 1,
  "EnableProfit" bigint DEFAULT 0,
  "PricePerUnit" bigint DEFAULT 0,
  rowid bigint GENERATED ALWAYS AS IDENTITY
);
CREATE INDEX "idxBlockSetting" ON "tblBlock" ("Setting", "RandomGroup", "Index");

CREATE TABLE "tblPlayer" (
  "Name" text NOT NULL,
  "Sterman" bigint DEFAULT 0,
  "Demand" bigint DEFAULT 0,
  "BackOrder" bigint DEFAULT 0,
  "Delta" bigint DEFAULT 0,
  "IfZero" bigint DEFAULT 0,
  "Alpha" double precision DEFAULT 0,
  "Beta" double precision DEFAULT 0,
  "Epsilon" double precision DEFAULT 0,
  "Theta" double precision DEFAULT 0,
  rowid bigint GENERATED ALWAYS AS IDENTITY
);

CREATE TABLE "tblTraining" (
  "Setting" text NOT NULL,
  "Runs" bigint,
  "CostLimit" bigint DEFAULT 0,
  "InventoryBounds" bigint DEFAULT 0,
  "Password" text,
  "Delay" bigint,
  "Weeks" bigint,
  "Input" text DEFAULT '',
  "InitialDemand" bigint,
  "JumpWeek" bigint,
  "SecondDemand" bigint,
  "Predicter" text DEFAULT '',
  "DisplayOption" text,
  "Factory" text,
  "Distributor" text,
  "Wholesaler" text,
  "Retailer" text,
  "FirstOrder" bigint,
  "MinOrder" bigint,
  "MaxOrder" bigint,
  "MaxNoise" bigint,
  "InitInventory" bigint,
  "InitDelayAmount" bigint,
  "CostInventory" double precision,
  "CostBackOrder" double precision,
  "CostTransit" double precision,
  "DatabaseOutput" bigint DEFAULT 1,
  rowid bigint GENERATED ALWAYS AS IDENTITY
);
CREATE INDEX "idxTrainingSetting" ON "tblTraining" ("Setting");

CREATE TABLE "tblDisplay" (
  "Configuration" text NOT NULL,
  "BottlesF" bigint DEFAULT 1,
  "TrucksFD" bigint DEFAULT 1,
  "TrucksDW" bigint DEFAULT 1,
  "TrucksWR" bigint DEFAULT 1,
  "TotalCost" bigint DEFAULT 1,
  "Factory" text,
  "Distributor" text,
  "Wholesaler" text,
  "Retailer" text,
  rowid bigint GENERATED ALWAYS AS IDENTITY
);
CREATE INDEX "idxDisplayConfiguration" ON "tblDisplay" ("Configuration");

CREATE TABLE "tblDisplayOption" (
  "Option" text NOT NULL,
  "RecentOrder" bigint DEFAULT 1,
  "BackOrder" bigint DEFAULT 1,
  "Inventory" bigint DEFAULT 1,
  "Satisfied" bigint DEFAULT 1,
  "Demand" bigint DEFAULT 1,
  "Cost" bigint DEFAULT 1,
  rowid bigint GENERATED ALWAYS AS IDENTITY
);
CREATE INDEX "idxDisplayOption" ON "tblDisplayOption" ("Option");

CREATE TABLE "tblPause" (
  "Setting" text NOT NULL,
  "Trial" bigint NOT NULL,
  "Password" text,
  rowid bigint GENERATED ALWAYS AS IDENTITY
);
CREATE INDEX "idxPauseSetting" ON "tblPause" ("Setting", "Trial");

CREATE TABLE "tblPredicter" (
  "Predicter" text NOT NULL,
  "Extent" bigint,
  "Excess" bigint,
  "MaxNoise" bigint DEFAULT 0,
  rowid bigint GENERATED ALWAYS AS IDENTITY
);
CREATE INDEX "idxPredicter" ON "tblPredicter" ("Predicter");

CREATE TABLE "datUser" (
  "Subject" text NOT NULL PRIMARY KEY,
  "Setting" text,
  "Age" bigint,
  "Gender" text,
  "SchoolYear" text,
  "Major" text,
  rowid bigint GENERATED ALWAYS AS IDENTITY
);
-- The login finds a User ID without regard to letter case, beyond ASCII
-- too (Zoë is ZOË), whatever the database's own locale: ICU's root locale
-- lowers the letters of every script.
CREATE INDEX "idxUserSubjectCaseBlind" ON "datUser" (lower("Subject" COLLATE "und-x-icu"));

CREATE TABLE "datRole" (
  "Subject" text NOT NULL,
  "Setting" text NOT NULL,
  "Trial" bigint NOT NULL,
  "Training" bigint NOT NULL DEFAULT 0,
  "Week" bigint NOT NULL,
  "Role" text NOT NULL,
  "User" bigint DEFAULT 0,
  "PNoise" bigint,
  "Order" bigint,
  "DeltaInventory" bigint,
  "Inventory" bigint,
  "Delay1" bigint,
  "Delay2" bigint,
  "Delay3" bigint,
  "Demand" bigint,
  "Satisfied" bigint,
  "WeeklyCost" bigint,
  "TotalCost" bigint,
  "TransactionTime" bigint,
  "Date" text,
  "TimeOfDay" text,
  rowid bigint GENERATED ALWAYS AS IDENTITY,
  PRIMARY KEY ("Subject", "Setting", "Trial", "Week", "Role")
);
CREATE INDEX "idxRoleTime" ON "datRole" ("Date", "TimeOfDay");
-- The file finds a row by its rowid at once; so does the server by this
-- index (the live view's latest week of each participant).
CREATE INDEX "idxRoleRowid" ON "datRole" (rowid);

CREATE TABLE "datTrial" (
  "Subject" text NOT NULL,
  "Setting" text NOT NULL,
  "Trial" bigint NOT NULL,
  "Training" bigint NOT NULL DEFAULT 0,
  "Weeks" bigint,
  "Delay" bigint,
  "Predicter" text,
  "InventoryCost" double precision,
  "BackCost" double precision,
  "TransitCost" double precision,
  "EndCost" double precision,
  "Factory" text,
  "Distributor" text,
  "Wholesaler" text,
  "Retailer" text,
  "Date" text,
  "Time" text,
  rowid bigint GENERATED ALWAYS AS IDENTITY,
  PRIMARY KEY ("Subject", "Setting", "Trial")
);

CREATE TABLE "datPlaying" (
  "Subject" text NOT NULL PRIMARY KEY,
  "Setting" text,
  "Host" text NOT NULL,
  "Process" bigint NOT NULL,
  "Since" bigint NOT NULL,
  "LastWeek" bigint NOT NULL,
  rowid bigint GENERATED ALWAYS AS IDENTITY
);
