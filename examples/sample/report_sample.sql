-- The sample report as an SQLite table, with declared types the source engine reads.
CREATE TABLE report(
  单位代码 TEXT PRIMARY KEY,
  单位名称 TEXT,
  所在地区 TEXT,
  营业收入 REAL,
  营业成本 REAL,
  利润总额 REAL,
  从业人数 INTEGER,
  资产总计 REAL,
  填报日期 DATE,
  备注 TEXT
);
.import --csv --skip 1 report_sample.csv report
UPDATE report SET 备注 = NULL WHERE 备注 = '';
