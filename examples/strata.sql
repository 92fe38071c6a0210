-- The stratum lexicon of the sample: table dcmc (name, code, number), as the stratum-name
-- dialog reads it. scripts/demo.sh loads it into a SQLite database next to isoDB.udl.
CREATE TABLE dcmc (dcmc TEXT, dcdm TEXT, dcbm INTEGER);
INSERT INTO dcmc VALUES ('第四系', 'Q', 1);
INSERT INTO dcmc VALUES ('砂岩层', 'J2s', 2);
INSERT INTO dcmc VALUES ('泥岩层', 'J2m', 3);
INSERT INTO dcmc VALUES ('基底', 'AnZ', 4);
