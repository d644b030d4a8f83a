-- Records of every table of a version 1 database, written the same way for
-- the file and the server (names in double quotes, text in single quotes).
INSERT INTO "tblPlayer" ("Name", "Sterman", "Alpha", "Beta", "Epsilon", "Theta")
  VALUES ('Anchor', 1, 0.3, 0.15, 0.5, 0.25);
INSERT INTO "tblPlayer" ("Name", "Demand", "BackOrder", "IfZero") VALUES ('Follower', 1, 1, 2);
INSERT INTO "tblBlock" ("Setting", "RandomGroup", "Index", "Runs", "Delay", "numweeks",
    "InitialDemand", "JumpWeek", "SecondDemand", "DisplayOption", "Factory", "Distributor",
    "Wholesaler", "Retailer", "FirstOrder", "MinOrder", "MaxOrder", "MaxNoise", "InitInventory",
    "InitDelayAmount", "CostInventory", "CostBackOrder", "CostTransit", "EnableProfit",
    "PricePerUnit")
  VALUES ('Demo', 0, 1, 2, 2, 20, 4, 5, 8, 'All', 'Anchor', 'Subject', 'Follower', 'Anchor', 4,
    0, 99, 2, 12, 4, 0.5, 1.0, 0.25, 0, 0);
INSERT INTO "tblTraining" ("Setting", "Runs", "CostLimit", "InventoryBounds", "Password", "Delay",
    "Weeks", "Input", "InitialDemand", "JumpWeek", "SecondDemand", "DisplayOption", "Factory",
    "Distributor", "Wholesaler", "Retailer", "FirstOrder", "MinOrder", "MaxOrder", "MaxNoise",
    "InitInventory", "InitDelayAmount", "CostInventory", "CostBackOrder", "CostTransit")
  VALUES ('Demo', 1, 400, 60, 'skip', 1, 10, 'demand.txt', 4, 3, 6, 'All', 'Subject', 'Anchor',
    'Anchor', 'Follower', 4, 0, 50, 0, 12, 4, 0.5, 1.0, 0);
INSERT INTO "tblDisplay" ("Configuration", "TrucksDW", "Factory", "Distributor", "Wholesaler",
    "Retailer")
  VALUES ('All', 0, 'Full', 'Full', 'Full', 'Cost');
INSERT INTO "tblDisplayOption" ("Option", "Satisfied") VALUES ('Full', 0);
INSERT INTO "tblPause" ("Setting", "Trial", "Password") VALUES ('Demo', 2, 'tea');
INSERT INTO "tblPredicter" ("Predicter", "Extent", "Excess") VALUES ('Ahead', 3, 9);
INSERT INTO "datUser" ("Subject", "Setting", "Age", "Gender", "SchoolYear", "Major")
  VALUES ('Zoë', 'Demo', 23, 'F', '3', 'Biology');
INSERT INTO "datUser" ("Subject", "Setting") VALUES ('P2', 'Demo');
INSERT INTO "datRole" ("Subject", "Setting", "Trial", "Week", "Role", "User", "Order",
    "DeltaInventory", "Inventory", "Delay1", "Delay2", "Demand", "Satisfied", "WeeklyCost",
    "TotalCost", "TransactionTime", "Date", "TimeOfDay")
  VALUES ('Zoë', 'Demo', 1, 1, 'Distributor', 6, 7, -2, 10, 4, 4, 6, 6, 5, 5, 1830,
    '2026-12-01', '10:15:02');
INSERT INTO "datRole" ("Subject", "Setting", "Trial", "Week", "Role", "PNoise", "Order",
    "Inventory", "Demand", "Satisfied", "WeeklyCost", "TotalCost", "Date", "TimeOfDay")
  VALUES ('Zoë', 'Demo', 1, 1, 'Factory', -1, 3, 12, 4, 4, 6, 6, '2026-12-01', '10:15:02');
INSERT INTO "datTrial" ("Subject", "Setting", "Trial", "Weeks", "Delay", "Predicter",
    "InventoryCost", "BackCost", "TransitCost", "EndCost", "Factory", "Distributor", "Wholesaler",
    "Retailer", "Date", "Time")
  VALUES ('Zoë', 'Demo', 1, 20, 2, '', 120.5, 33, 2.25, 155.75, 'Anchor', 'Subject', 'Follower',
    'Anchor', '2026-12-01', '10:31:44');
INSERT INTO "datPlaying" ("Subject", "Setting", "Host", "Process", "Since", "LastWeek")
  VALUES ('P2', 'Demo', 'lab-7', 4242, 1764583200, 1764583260);
