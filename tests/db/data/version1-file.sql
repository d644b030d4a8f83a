-- Version 1 of the schema, kept as the program wrote it then: the upgrade
-- tests start from it (make-version1-file, SchemaUpgrade_test).
--
-- The experiment database of Quarn Game.
--
-- Types: whole numbers INTEGER, rates and parameters REAL, names TEXT.
-- Yes/no columns are INTEGER, 0 for no and any other value for yes.
-- Dates are TEXT in the form YYYY-MM-DD, times of day TEXT HH:MM:SS.
--
-- Defaults. Columns whose absence would make a plan ambiguous (delays, weeks,
-- demand, stocks, cost rates, role columns) have none, so that a forgotten
-- value is reported by the plan loader instead of being guessed. Defaults are
-- given where one value is the plain meaning of "not set":
--   * yes/no switches of players and trials default to 0 (off), except
--     DatabaseOutput, which defaults to 1 so that a forgotten column never
--     loses a participant's results;
--   * display switches default to 1 (shown);
--   * Input and Predicter default to '' (step demand, no forecast);
--   * RandomGroup and Index default to 0, Runs to 1; player parameters to 0;
--   * in the output tables Training defaults to 0 (an experiment trial) and
--     User to 0 (a simulated stage; the participant's row carries 6). PNoise
--     and the delay slots beyond a trial's delay stay Null: not recorded.
--
-- Rows of plan tables come back in the order they were inserted.

CREATE TABLE tblBlock (
  Setting TEXT NOT NULL,
  RandomGroup INTEGER NOT NULL DEFAULT 0,
  [Index] INTEGER NOT NULL DEFAULT 0,
  Runs INTEGER NOT NULL DEFAULT 1,
  Delay INTEGER,
  numweeks INTEGER,
  Input TEXT DEFAULT '',
  InitialDemand INTEGER,
  JumpWeek INTEGER,
  SecondDemand INTEGER,
  Predicter TEXT DEFAULT '',
  DisplayOption TEXT,
  Factory TEXT,
  Distributor TEXT,
  Wholesaler TEXT,
  Retailer TEXT,
  FirstOrder INTEGER,
  MinOrder INTEGER,
  MaxOrder INTEGER,
  MaxNoise INTEGER,
  InitInventory INTEGER,
  InitDelayAmount INTEGER,
  CostInventory REAL,
  CostBackOrder REAL,
  CostTransit REAL,
  DatabaseOutput INTEGER DEFAULT 1,
  EnableProfit INTEGER DEFAULT 0,
  PricePerUnit INTEGER DEFAULT 0
);
CREATE INDEX idxBlockSetting ON tblBlock (Setting, RandomGroup, [Index]);

CREATE TABLE tblPlayer (
  Name TEXT NOT NULL,
  Sterman INTEGER DEFAULT 0,
  Demand INTEGER DEFAULT 0,
  BackOrder INTEGER DEFAULT 0,
  Delta INTEGER DEFAULT 0,
  IfZero INTEGER DEFAULT 0,
  Alpha REAL DEFAULT 0,
  Beta REAL DEFAULT 0,
  Epsilon REAL DEFAULT 0,
  Theta REAL DEFAULT 0
);

CREATE TABLE tblTraining (
  Setting TEXT NOT NULL,
  Runs INTEGER,
  CostLimit INTEGER DEFAULT 0,
  InventoryBounds INTEGER DEFAULT 0,
  Password TEXT,
  Delay INTEGER,
  Weeks INTEGER,
  Input TEXT DEFAULT '',
  InitialDemand INTEGER,
  JumpWeek INTEGER,
  SecondDemand INTEGER,
  Predicter TEXT DEFAULT '',
  DisplayOption TEXT,
  Factory TEXT,
  Distributor TEXT,
  Wholesaler TEXT,
  Retailer TEXT,
  FirstOrder INTEGER,
  MinOrder INTEGER,
  MaxOrder INTEGER,
  MaxNoise INTEGER,
  InitInventory INTEGER,
  InitDelayAmount INTEGER,
  CostInventory REAL,
  CostBackOrder REAL,
  CostTransit REAL,
  DatabaseOutput INTEGER DEFAULT 1
);
CREATE INDEX idxTrainingSetting ON tblTraining (Setting);

CREATE TABLE tblDisplay (
  Configuration TEXT NOT NULL,
  BottlesF INTEGER DEFAULT 1,
  TrucksFD INTEGER DEFAULT 1,
  TrucksDW INTEGER DEFAULT 1,
  TrucksWR INTEGER DEFAULT 1,
  TotalCost INTEGER DEFAULT 1,
  Factory TEXT,
  Distributor TEXT,
  Wholesaler TEXT,
  Retailer TEXT
);
CREATE INDEX idxDisplayConfiguration ON tblDisplay (Configuration);

CREATE TABLE tblDisplayOption (
  Option TEXT NOT NULL,
  RecentOrder INTEGER DEFAULT 1,
  BackOrder INTEGER DEFAULT 1,
  Inventory INTEGER DEFAULT 1,
  Satisfied INTEGER DEFAULT 1,
  Demand INTEGER DEFAULT 1,
  Cost INTEGER DEFAULT 1
);
CREATE INDEX idxDisplayOption ON tblDisplayOption (Option);

CREATE TABLE tblPause (
  Setting TEXT NOT NULL,
  Trial INTEGER NOT NULL,
  Password TEXT
);
CREATE INDEX idxPauseSetting ON tblPause (Setting, Trial);

CREATE TABLE tblPredicter (
  Predicter TEXT NOT NULL,
  Extent INTEGER,
  Excess INTEGER,
  MaxNoise INTEGER DEFAULT 0
);
CREATE INDEX idxPredicter ON tblPredicter (Predicter);

CREATE TABLE datUser (
  Subject TEXT NOT NULL PRIMARY KEY,
  Setting TEXT,
  Age INTEGER,
  Gender TEXT,
  SchoolYear TEXT,
  Major TEXT
);

CREATE TABLE datRole (
  Subject TEXT NOT NULL,
  Setting TEXT NOT NULL,
  Trial INTEGER NOT NULL,
  Training INTEGER NOT NULL DEFAULT 0,
  Week INTEGER NOT NULL,
  Role TEXT NOT NULL,
  User INTEGER DEFAULT 0,
  PNoise INTEGER,
  [Order] INTEGER,
  DeltaInventory INTEGER,
  Inventory INTEGER,
  Delay1 INTEGER,
  Delay2 INTEGER,
  Delay3 INTEGER,
  Demand INTEGER,
  Satisfied INTEGER,
  WeeklyCost INTEGER,
  TotalCost INTEGER,
  TransactionTime INTEGER,
  Date TEXT,
  TimeOfDay TEXT,
  PRIMARY KEY (Subject, Setting, Trial, Week, Role)
);
-- The moderator's live view (quarngame-admin watch) finds the weeks recorded
-- lately by it.
CREATE INDEX idxRoleTime ON datRole (Date, TimeOfDay);

CREATE TABLE datTrial (
  Subject TEXT NOT NULL,
  Setting TEXT NOT NULL,
  Trial INTEGER NOT NULL,
  Training INTEGER NOT NULL DEFAULT 0,
  Weeks INTEGER,
  Delay INTEGER,
  Predicter TEXT,
  InventoryCost REAL,
  BackCost REAL,
  TransitCost REAL,
  EndCost REAL,
  Factory TEXT,
  Distributor TEXT,
  Wholesaler TEXT,
  Retailer TEXT,
  Date TEXT,
  Time TEXT,
  PRIMARY KEY (Subject, Setting, Trial)
);

-- Which workstation plays which participant: a participant plays on one
-- workstation at a time. The login writes the mark, every recorded week
-- refreshes LastWeek, a normal end removes it. Times are seconds since 1970
-- (UTC). The application makes this table in a file that lacks it.
CREATE TABLE datPlaying (
  Subject TEXT NOT NULL PRIMARY KEY,
  Setting TEXT,
  Host TEXT NOT NULL,
  Process INTEGER NOT NULL,
  Since INTEGER NOT NULL,
  LastWeek INTEGER NOT NULL
);
