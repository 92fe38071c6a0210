-- The sample stratum lexicon: the systems and series of the geological time scale with their
-- usual Chinese names (dcmc) and codes (dcdm), in stratigraphic order, youngest first, by dcbm.
-- The first row, "无" (none), is what lexicons keep for "no stratum"; the dialog does not list it.
-- scripts/build-lexicon.sh rebuilds examples/lexicon.sqlite from this file.
CREATE TABLE dcmc (
  dcmc VARCHAR(50),   -- stratum name, shown in the dialog
  dcdm VARCHAR(20),   -- stratum code, written on the stratum entity
  dcbm INTEGER        -- order of the rows
);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('无', '', 0);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('第四系', 'Q', 10);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('全新统', 'Qh', 20);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('更新统', 'Qp', 30);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('新近系', 'N', 40);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('上新统', 'N2', 50);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('中新统', 'N1', 60);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('古近系', 'E', 70);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('渐新统', 'E3', 80);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('始新统', 'E2', 90);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('古新统', 'E1', 100);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('白垩系', 'K', 110);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('上白垩统', 'K2', 120);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('下白垩统', 'K1', 130);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('侏罗系', 'J', 140);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('上侏罗统', 'J3', 150);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('中侏罗统', 'J2', 160);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('下侏罗统', 'J1', 170);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('三叠系', 'T', 180);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('上三叠统', 'T3', 190);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('中三叠统', 'T2', 200);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('下三叠统', 'T1', 210);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('二叠系', 'P', 220);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('乐平统', 'P3', 230);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('阳新统', 'P2', 240);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('船山统', 'P1', 250);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('石炭系', 'C', 260);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('上石炭统', 'C2', 270);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('下石炭统', 'C1', 280);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('泥盆系', 'D', 290);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('上泥盆统', 'D3', 300);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('中泥盆统', 'D2', 310);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('下泥盆统', 'D1', 320);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('志留系', 'S', 330);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('顶志留统', 'S4', 340);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('上志留统', 'S3', 350);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('中志留统', 'S2', 360);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('下志留统', 'S1', 370);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('奥陶系', 'O', 380);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('上奥陶统', 'O3', 390);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('中奥陶统', 'O2', 400);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('下奥陶统', 'O1', 410);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('寒武系', '∈', 420);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('芙蓉统', '∈4', 430);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('第三统', '∈3', 440);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('第二统', '∈2', 450);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('纽芬兰统', '∈1', 460);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('震旦系', 'Z', 470);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('上震旦统', 'Z2', 480);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('下震旦统', 'Z1', 490);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('南华系', 'Nh', 500);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('青白口系', 'Qb', 510);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('蓟县系', 'Jx', 520);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('长城系', 'Ch', 530);
INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES ('太古宇', 'Ar', 540);
